// Loading a copy of the built tavok.spi from a plug-in folder loads no decoder;
// the decoders that its tavok.ini lists are registered at the first request,
// each loaded once and released when that request ends, and unloading tavok
// releases everything and writes nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugin_host.h"
#include "support/fixture_log.h"
#include "support/plugin_folder.h"

namespace tavok::testing {
namespace {

using Lines = std::vector<std::string>;

// Each fixture loaded by its registration, in list order, and each released
// in that order when the first request ends.
Lines RegistrationEvents(const Lines& fixtures) {
  Lines events;
  for (const std::string& fixture : fixtures) events.push_back(fixture + " attach");
  for (const std::string& fixture : fixtures) events.push_back(fixture + " detach");
  return events;
}

// Loads the folder's tavok.spi as a host would, checks that loading it loads
// no decoder, makes the first request, checks that no decoder stays loaded,
// unloads it, and returns the fixtures' attach and detach events.
Lines AttachEvents(const PluginFolder& folder, const FixtureLog& log) {
  log.Clear();
  const bool had_ini = FileExists(folder.IniPath());
  const std::string ini_before = had_ini ? folder.ReadIni() : "";
  HMODULE tavok = LoadLibraryA(folder.TavokPath().c_str());
  EXPECT_NE(tavok, nullptr);
  EXPECT_EQ(log.Lines(), Lines{}) << "nothing is loaded under the loader's lock";
  MakeFirstRequest(PluginModule(folder.TavokPath()));
  const Lines events = log.Events({"attach", "detach"});
  for (const char* fixture : {"fx_png.spi", "fx_jpeg.spi", "a.spi", "b.spi", "d0.spi"}) {
    EXPECT_FALSE(IsModuleLoaded(fixture)) << fixture << " stayed loaded after attach";
  }
  FreeLibrary(tavok);
  EXPECT_FALSE(IsModuleLoaded(folder.TavokPath()));
  EXPECT_EQ(log.Events({"attach", "detach"}), events) << "nothing more happens at detach";
  EXPECT_EQ(FileExists(folder.IniPath()), had_ini);
  if (had_ini) {
    EXPECT_EQ(folder.ReadIni(), ini_before) << "nothing is written";
  }
  return events;
}

class ModuleAttach : public ::testing::Test {
 protected:
  FixtureLog log_;
};

TEST_F(ModuleAttach, RegistersTheListedDecodersInKeyOrder) {
  PluginFolder folder;
  folder.AddTavok();
  folder.AddFixture("fx_png", "a.spi");
  const std::string b = folder.AddFixture("fx_jpeg", "x\\b.spi");
  folder.AddFixture("fx_png_second", "sub\\c.spi");
  folder.WriteIni("[SPI]\r\nCount=4\r\nPath0=\r\nPath1=a.spi\r\nPath2=" + b +
                  "\r\nPath3=sub/c.spi\r\n");
  EXPECT_EQ(AttachEvents(folder, log_), RegistrationEvents({"fx_png", "fx_jpeg", "fx_png_second"}));
}

TEST_F(ModuleAttach, CountLimitsTheKeysRead) {
  PluginFolder folder;
  folder.AddTavok();
  std::string keys;
  for (int i = 0; i < 10; ++i) {
    folder.AddFixture("fx_png", "d" + std::to_string(i) + ".spi");
    keys += "Path" + std::to_string(i) + "=d" + std::to_string(i) + ".spi\r\n";
  }
  folder.AddFixture("fx_jpeg", "j.spi");
  keys += "Path10=j.spi\r\nPath11=j.spi\r\n";

  const Lines ten = RegistrationEvents(Lines(10, "fx_png"));
  const struct {
    const char* count;
    Lines events;
  } cases[] = {
      {"12", ten}, {"-1", {}}, {"abc", {}}, {"0", {}}, {"1", RegistrationEvents({"fx_png"})}};
  for (const auto& c : cases) {
    folder.WriteIni(std::string("[SPI]\r\nCount=") + c.count + "\r\n" + keys);
    EXPECT_EQ(AttachEvents(folder, log_), c.events) << "Count=" << c.count;
  }
}

TEST_F(ModuleAttach, RefusedEntriesAreSkippedAndTheRestStillRead) {
  PluginFolder folder;
  folder.AddTavok();
  folder.AddFixture("fx_version", "old.spi");
  folder.AddFixture("fx_png", "a.spi");
  folder.WriteIni("[SPI]\r\nCount=5\r\nPath0=" + std::string(kOwnFileName) +
                  "\r\nPath1=old.spi\r\nPath2=missing.spi\r\n"
                  "Path3=a.spi\r\nPath4=A.SPI\r\n");
  // The refused decoder is released at once.
  EXPECT_EQ(AttachEvents(folder, log_),
            (Lines{"fx_version attach", "fx_version detach", "fx_png attach", "fx_png detach"}));
}

// The host's current folder is whatever folder the viewer last showed.
class CurrentFolder {
 public:
  explicit CurrentFolder(const std::string& path) {
    GetCurrentDirectoryA(MAX_PATH, previous_);
    SetCurrentDirectoryA(path.c_str());
  }
  ~CurrentFolder() { SetCurrentDirectoryA(previous_); }

 private:
  char previous_[MAX_PATH];
};

TEST_F(ModuleAttach, ValuesThatAreNotFullPathsAreJoinedToTheModuleFolder) {
  PluginFolder folder;
  folder.AddTavok();
  folder.AddFixture("fx_png", "plugins\\a.spi");
  folder.AddFixture("fx_png_second", "b.spi");
  // The same relative names, planted in the current folder.
  PluginFolder planted;
  planted.AddFixture("fx_jpeg", "plugins\\a.spi");
  planted.AddFixture("fx_jpeg", "b.spi");
  folder.WriteIni("[SPI]\r\nCount=2\r\nPath0=plugins\\a.spi\r\nPath1=.\\b.spi\r\n");
  const CurrentFolder current(planted.path());
  EXPECT_EQ(AttachEvents(folder, log_), RegistrationEvents({"fx_png", "fx_png_second"}));
}

// A decoder that ships its codec library beside it finds it there, and one
// that does not never gets the copy in the host's current folder.
TEST_F(ModuleAttach, ADecodersOwnLibrariesComeFromItsFolderNeverTheCurrentOne) {
  PluginFolder planted;
  planted.AddCopy(ProgramFolder() + "\\codec-planted\\fx_codec.dll", "fx_codec.dll");
  const CurrentFolder current(planted.path());
  for (const bool shipped : {false, true}) {
    PluginFolder folder;
    folder.AddTavok();
    folder.AddFixture("fx_with_codec", "decoders\\w.spi");
    if (shipped) {
      folder.AddCopy(ProgramFolder() + "\\codec-beside\\fx_codec.dll", "decoders\\fx_codec.dll");
    }
    folder.WriteIni("[SPI]\r\nCount=1\r\nPath0=decoders\\w.spi\r\n");
    const Lines expected =
        shipped ? Lines{"fx_with_codec attach codec=beside", "fx_with_codec detach"} : Lines{};
    EXPECT_EQ(AttachEvents(folder, log_), expected) << (shipped ? "shipped beside" : "not shipped");
  }
}

TEST_F(ModuleAttach, WithoutASettingsFileNothingIsLoadedOrWritten) {
  PluginFolder folder;
  folder.AddTavok();
  folder.AddFixture("fx_png", "a.spi");
  EXPECT_EQ(AttachEvents(folder, log_), Lines{});
  EXPECT_FALSE(FileExists(folder.IniPath()));
}

TEST_F(ModuleAttach, DoubleByteFolderUnderCodePage932) {
  if (GetACP() != 932) GTEST_SKIP() << "needs code page 932";
  PluginFolder folder("\x83\x5C\x95\x5C");
  folder.AddTavok();
  folder.AddFixture("fx_png", "a.spi");
  folder.AddFixture("fx_jpeg", "\x95\x5C.spi");
  folder.WriteIni("[SPI]\r\nCount=2\r\nPath0=a.spi\r\nPath1=\x95\x5C.spi\r\n");
  EXPECT_EQ(AttachEvents(folder, log_), RegistrationEvents({"fx_png", "fx_jpeg"}));
}

}  // namespace
}  // namespace tavok::testing
