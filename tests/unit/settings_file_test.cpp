#include "settings/settings_file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "container/profile_text.h"
#include "container/text_encoding.h"
#include "decoders/decoder_table.h"
#include "placeholder/placeholder.h"
#include "settings/module_lifecycle.h"
#include "support/fixture_log.h"
#include "support/plugin_folder.h"
#include "support/test_files.h"

namespace tavok {
namespace {

using testing::FixtureLog;
using testing::PluginFolder;
using Lines = std::vector<std::string>;

// Runs the module's attach for a copy of tavok.spi in a plug-in folder, as if
// that copy were this module: its path decides the settings file read. The
// copy is mapped without running its own entry point.
class Attached {
 public:
  explicit Attached(const PluginFolder& folder) : Attached(folder.TavokPath()) {}
  explicit Attached(const std::string& tavok) {
    module_ = LoadLibraryExA(tavok.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    EXPECT_NE(module_, nullptr) << tavok;
    AttachModule(module_);
    EnsureTableLoaded();
  }
  ~Attached() {
    DetachModule();
    FreeLibrary(module_);
  }
  Attached(const Attached&) = delete;
  Attached& operator=(const Attached&) = delete;

 private:
  HMODULE module_ = nullptr;
};

Lines TablePaths() {
  Lines paths;
  for (int32_t i = 0; i < DecoderCount(); ++i) paths.push_back(testing::Narrow(DecoderAt(i).path));
  return paths;
}

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override { SetPlaceholderSize(48, 48); }
  void TearDown() override { UnloadAllDecoders(); }
  FixtureLog log_;
};

TEST_F(SettingsFileTest, SettingsPathIsTheModulePathWithIni) {
  PluginFolder folder;
  folder.AddTavok();
  Attached attached(folder);
  EXPECT_EQ(testing::Narrow(SettingsPath()), folder.IniPath());
  EXPECT_EQ(DecoderCount(), 0);
}

TEST_F(SettingsFileTest, DecoderListIsReadInKeyOrder) {
  PluginFolder folder;
  folder.AddTavok();
  const std::string a = folder.AddFixture("fx_png", "a.spi");
  const std::string b = folder.AddFixture("fx_jpeg", "x\\b.spi");
  folder.AddFixture("fx_png_second", "sub\\c.spi");
  folder.WriteIni("[SPI]\r\nCount=4\r\nPath0=\r\nPath1=a.spi\r\nPath2=" + b +
                  "\r\nPath3=sub/c.spi\r\n[Icon]\r\nWidth=64\r\nHeight=32\r\n");
  Attached attached(folder);
  // The empty key leaves no gap; values without a backslash (sub/c.spi
  // included) are joined to the module's folder.
  EXPECT_EQ(TablePaths(), (Lines{a, b, folder.Join("sub/c.spi")}));
  EXPECT_EQ(GetPlaceholderSize().width, 64);
  EXPECT_EQ(GetPlaceholderSize().height, 32);
  // Each decoder was loaded to be queried and released again.
  EXPECT_EQ(log_.Events({"attach", "detach"}),
            (Lines{"fx_png attach", "fx_png detach", "fx_jpeg attach", "fx_jpeg detach",
                   "fx_png_second attach", "fx_png_second detach"}));
}

TEST_F(SettingsFileTest, CountDecidesHowManyKeysAreRead) {
  struct Case {
    const char* count;
    size_t expected;
  } cases[] = {{"12", 10}, {"10", 10}, {"3", 3}, {"0", 0}, {"-1", 0}, {"abc", 0}, {"", 0}};
  PluginFolder folder;
  folder.AddTavok();
  std::string keys;
  for (int i = 0; i < 12; ++i) {
    folder.AddFixture("fx_png", "d" + std::to_string(i) + ".spi");
    keys += "Path" + std::to_string(i) + "=d" + std::to_string(i) + ".spi\r\n";
  }
  for (const Case& c : cases) {
    folder.WriteIni(std::string("[SPI]\r\nCount=") + c.count + "\r\n" + keys +
                    "[Icon]\r\nWidth=20\r\n");
    SetPlaceholderSize(48, 48);
    Attached attached(folder);
    EXPECT_EQ(TablePaths().size(), c.expected) << c.count;
    if (c.expected > 0) {
      EXPECT_EQ(TablePaths().back(), folder.Join("d" + std::to_string(c.expected - 1) + ".spi"));
    }
    // The Icon section is read whatever Count says.
    EXPECT_EQ(GetPlaceholderSize().width, 20) << c.count;
    EXPECT_EQ(GetPlaceholderSize().height, 48) << c.count;
  }
}

TEST_F(SettingsFileTest, RefusedEntriesLeaveNoGap) {
  PluginFolder folder;
  folder.AddTavok();
  const std::string a = folder.AddFixture("fx_png", "a.spi");
  const std::string c = folder.AddFixture("fx_jpeg", "c.spi");
  folder.WriteIni("[SPI]\r\nCount=5\r\nPath0=" + std::string(kOwnFileName) +
                  "\r\nPath1=a.spi\r\nPath2=missing.spi\r\n"
                  "Path3=A.SPI\r\nPath4=c.spi\r\n");
  Attached attached(folder);
  EXPECT_EQ(TablePaths(), (Lines{a, c}));
}

TEST_F(SettingsFileTest, RelativeValuesAreHeldJoinedAndFullPathsAsWritten) {
  PluginFolder folder;
  folder.AddTavok();
  const std::string a = folder.AddFixture("fx_png", "plugins\\a.spi");
  const std::string c = folder.AddFixture("fx_jpeg", "c.spi");
  folder.WriteIni("[SPI]\r\nCount=2\r\nPath0=plugins\\a.spi\r\nPath1=" + c + "\r\n");
  Attached attached(folder);
  EXPECT_EQ(TablePaths(), (Lines{a, c}));
}

TEST_F(SettingsFileTest, WithoutASettingsFileNothingIsRegisteredAndTheSizeStays) {
  PluginFolder folder;
  folder.AddTavok();
  SetPlaceholderSize(77, 66);
  Attached attached(folder);
  EXPECT_EQ(DecoderCount(), 0);
  EXPECT_EQ(GetPlaceholderSize().width, 77);
  EXPECT_EQ(GetPlaceholderSize().height, 66);
  EXPECT_EQ(testing::Narrow(SettingsPath()), folder.IniPath()) << "kept for a later save";
}

// A release ships tavok.default.ini rather than tavok.ini, so that unzipping
// it over an install changes nothing: the defaults are read only while there
// is no tavok.ini, and a save writes tavok.ini, from the defaults the first
// time, never the defaults themselves.
TEST_F(SettingsFileTest, TheDefaultsAreReadOnlyWithoutATavokIni) {
  PluginFolder folder;
  folder.AddTavok();
  const std::string a = folder.AddFixture("fx_png", "a.spi");
  const std::string b = folder.AddFixture("fx_jpeg", "b.spi");
  const std::string defaults_path = folder.Join("tavok.default.ini");
  const std::string defaults =
      "; the release's\r\n[SPI]\r\nCount=1\r\nPath0=a.spi\r\n[Icon]\r\nWidth=20\r\n";
  const struct {
    const char* label;
    bool has_defaults, has_ini;
    Lines table;
    int32_t width;
    std::string saved;  // tavok.ini after a save
  } cases[] = {
      {"only the defaults",
       true,
       false,
       {a},
       20,
       "; the release's\r\n[SPI]\r\nCount=1\r\nPath0=a.spi\r\n[Icon]\r\nWidth=20\r\n"},
      {"only tavok.ini",
       false,
       true,
       {b},
       30,
       "[SPI]\r\nCount=1\r\nPath0=b.spi\r\n[Icon]\r\nWidth=30\r\n"},
      {"both", true, true, {b}, 30, "[SPI]\r\nCount=1\r\nPath0=b.spi\r\n[Icon]\r\nWidth=30\r\n"},
      {"neither", false, false, {}, 48, "[SPI]\r\nCount=0\r\n"},
  };
  for (const auto& c : cases) {
    DeleteFileA(defaults_path.c_str());
    DeleteFileA(folder.IniPath().c_str());
    if (c.has_defaults) testing::WriteBytes(defaults_path, defaults.data(), defaults.size());
    if (c.has_ini) folder.WriteIni("[SPI]\r\nCount=1\r\nPath0=b.spi\r\n[Icon]\r\nWidth=30\r\n");
    SetPlaceholderSize(48, 48);
    Attached attached(folder);
    EXPECT_EQ(TablePaths(), c.table) << c.label;
    EXPECT_EQ(GetPlaceholderSize().width, c.width) << c.label;
    ASSERT_TRUE(SaveSettings()) << c.label;
    EXPECT_EQ(folder.ReadIni(), c.saved) << c.label;
    if (c.has_defaults) {
      const std::vector<uint8_t> kept = testing::ReadBytes(defaults_path);
      EXPECT_EQ(std::string(kept.begin(), kept.end()), defaults) << c.label;
    }
  }
}

// The release's defaults keep decoders loaded, for a new install and in the
// tavok.ini that its first OK writes.
TEST_F(SettingsFileTest, TheReleasesDefaultsKeepDecodersLoaded) {
  PluginFolder folder;
  folder.AddTavok();
  folder.AddFixture("fx_png", "ifwic.spi");
  folder.AddCopy(TAVOK_RELEASE_DEFAULTS, "tavok.default.ini");
  {
    Attached attached(folder);
    ASSERT_GE(DecoderCount(), 1);
    static const uint8_t kPng[kHeadSize] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    DecoderPlugin chosen;
    ASSERT_EQ(FindDecoder(0, kPng, sizeof(kPng), "a.png", nullptr, &chosen), 0);
    ReleaseDecoder(&chosen);
    EXPECT_TRUE(DecoderAt(0).IsLoaded()) << "kept by the table";
    ASSERT_TRUE(SaveSettings());
  }
  const std::string saved = folder.ReadIni();
  EXPECT_EQ(FindProfileInt(testing::Widen(saved), L"Options", L"KeepDecodersLoaded", 0), 1)
      << saved;
}

TEST_F(SettingsFileTest, WithoutAnIconSectionThePlaceholderIs48By48) {
  PluginFolder folder;
  folder.AddTavok();
  folder.WriteIni("[SPI]\r\nCount=0\r\n");
  SetPlaceholderSize(77, 66);
  Attached attached(folder);
  EXPECT_EQ(GetPlaceholderSize().width, 48);
  EXPECT_EQ(GetPlaceholderSize().height, 48);
}

TEST_F(SettingsFileTest, AJoinedPathThatWouldNotFitIsSkippedRatherThanCut) {
  // The folder is 249 bytes long, so the module's own path just fits. Cut at
  // 259 bytes, the joined value "aaaaa.spi_more" would name aaaaa.spi, which
  // exists: it must be skipped instead.
  PluginFolder base;
  const std::string padding(249 - base.path().size() - 1, 'd');
  const std::string deep = base.Join(padding);
  ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr));
  ASSERT_EQ(deep.size(), 249u);
  ASSERT_TRUE(CopyFileA((testing::ProgramFolder() + "\\" + std::string(kOwnFileName)).c_str(),
                        (deep + "\\" + std::string(kOwnFileName)).c_str(), FALSE));
  ASSERT_TRUE(
      CopyFileA(testing::FixturePath("fx_png").c_str(), (deep + "\\aaaaa.spi").c_str(), FALSE));
  ASSERT_TRUE(
      CopyFileA(testing::FixturePath("fx_jpeg").c_str(), (deep + "\\j.spi").c_str(), FALSE));
  const std::string ini = "[SPI]\r\nCount=2\r\nPath0=aaaaa.spi_more\r\nPath1=j.spi\r\n";
  testing::WriteBytes(deep + "\\tavok.ini", ini.data(), ini.size());

  HMODULE module = LoadLibraryExA((deep + "\\" + std::string(kOwnFileName)).c_str(), nullptr,
                                  DONT_RESOLVE_DLL_REFERENCES);
  ASSERT_NE(module, nullptr);
  AttachModule(module);
  EnsureTableLoaded();
  EXPECT_EQ(TablePaths(), (Lines{deep + "\\j.spi"}));
  DetachModule();
  FreeLibrary(module);
}

TEST_F(SettingsFileTest, DoubleByteFolderUnderCodePage932) {
  if (GetACP() != 932) GTEST_SKIP() << "needs code page 932";
  // ソ and 表 end in the byte of a backslash.
  PluginFolder folder("\x83\x5C\x95\x5C");
  folder.AddTavok();
  const std::string a = folder.AddFixture("fx_png", "a.spi");
  folder.WriteIni("[SPI]\r\nCount=1\r\nPath0=a.spi\r\n");
  Attached attached(folder);
  EXPECT_EQ(testing::Narrow(SettingsPath()), folder.IniPath());
  EXPECT_EQ(TablePaths(), (Lines{a}));
}

// A save's own file, left beside tavok.ini.
bool HasStrayFile(const PluginFolder& folder) {
  for (const char* pattern : {"\\*.tmp", "\\*.new"}) {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder.path() + pattern).c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      FindClose(search);
      return true;
    }
  }
  return false;
}

std::string ProfileValue(const std::string& ini, const char* section, const char* key) {
  char value[MAX_PATH];
  GetPrivateProfileStringA(section, key, "(none)", value, MAX_PATH, ini.c_str());
  return value;
}

TEST_F(SettingsFileTest, SaveWritesTheListKeepsUnloadableEntriesAndTheRest) {
  PluginFolder folder;
  folder.AddTavok();
  folder.AddFixture("fx_png", "a.spi");
  const std::string b = folder.AddFixture("fx_jpeg", "plugins\\b.spi");
  const std::string c = folder.AddFixture("fx_png_second", "c.spi");
  const std::string e = folder.AddFixture("fx_raw_text", "e.spi");
  folder.WriteIni(
      "[SPI]\r\nCount=7\r\nPath0=absent.spi\r\nPath1=A.SPI\r\n"
      "Path2=plugins\\b.spi\r\nPath3=" +
      c +
      "\r\nPath4=D:\\unmounted\\d.spi\r\n"
      "Path5=later.spi\r\nPath6=e.spi\r\nPath7=stale.spi\r\n"
      "[Icon]\r\nWidth=64\r\nHeight=32\r\n");
  Attached attached(folder);
  ASSERT_EQ(TablePaths(), (Lines{folder.Join("A.SPI"), b, c, e}));
  EXPECT_EQ(KeptEntryCount(), 3);
  RemoveDecoder(3);
  // A kept entry whose decoder has come back is registered again: saved once.
  const std::string later = folder.AddFixture("fx_jpeg", "later.spi");
  ASSERT_EQ(RegisterDecoder(later.c_str()), 1);
  ASSERT_TRUE(SaveSettings());

  const std::string ini = folder.IniPath();
  const struct {
    const char* section;
    const char* key;
    std::string value;
  } expected[] = {
      {"SPI", "Count", "6"},
      // Entries from the file in their places, as written there, whether
      // they were loaded or kept; a decoder added since as it was picked.
      {"SPI", "Path0", "absent.spi"},
      {"SPI", "Path1", "A.SPI"},
      {"SPI", "Path2", "plugins\\b.spi"},
      {"SPI", "Path3", c},
      {"SPI", "Path4", "D:\\unmounted\\d.spi"},
      {"SPI", "Path5", later},
      {"SPI", "Path6", "(none)"},
      {"SPI", "Path7", "(none)"},
      {"Icon", "Width", "64"},
      {"Icon", "Height", "32"},
  };
  for (const auto& e : expected) EXPECT_EQ(ProfileValue(ini, e.section, e.key), e.value) << e.key;
  EXPECT_FALSE(HasStrayFile(folder));
}

// A save that cannot be made reports it and leaves the file exactly as it
// was, also when the write would fail part way. A file that cannot be read in
// its own encoding (UTF-8 after its mark, with a byte that is not) registers
// nothing, and is not replaced by a list that lacks its entries.
TEST_F(SettingsFileTest, AFailedSaveReportsItAndLeavesTheFileAsItWas) {
  PluginFolder folder;
  folder.AddTavok();
  folder.AddFixture("fx_jpeg", "a.spi");
  const std::string ini = folder.IniPath();
  enum Hold { kReadOnly, kLocked, kMisencoded };
  for (Hold hold : {kReadOnly, kLocked, kMisencoded}) {
    const std::string text = std::string(hold == kMisencoded ? "\xEF\xBB\xBF" : "") +
                             "[SPI]\r\nCount=1\r\nPath0=a.spi\r\n[Icon]\r\nHeight=32\r\n" +
                             (hold == kMisencoded ? "[Other]\r\nKey=caf\xE9\r\n" : "");
    folder.WriteIni(text);
    Attached attached(folder);
    EXPECT_EQ(DecoderCount(), hold == kMisencoded ? 0 : 1) << hold;
    ASSERT_EQ(RegisterDecoder(folder.AddFixture("fx_png", "b.spi").c_str()), 1);
    HANDLE holder = INVALID_HANDLE_VALUE;
    if (hold == kReadOnly) SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_READONLY);
    if (hold == kLocked) {
      holder = CreateFileA(ini.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    }
    EXPECT_FALSE(SaveSettings()) << hold;
    if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
    SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(folder.ReadIni(), text) << hold;
    EXPECT_FALSE(HasStrayFile(folder)) << hold;
  }
}

// A decoder path that the ANSI code page cannot spell survives a save and a
// reload: the file becomes UTF-16, with every other key as it was. A list the
// code page can spell leaves an ANSI file ANSI.
TEST_F(SettingsFileTest, APathTheCodePageCannotSpellMakesTheFileUtf16) {
  const bool japanese = GetACP() == 932;
  PluginFolder folder;
  folder.AddTavok();
  folder.AddFixture("fx_png", "a.spi");
  folder.WriteIni(std::string("[SPI]\r\nCount=1\r\nPath0=a.spi\r\n[Icon]\r\nWidth=64\r\n") +
                  "[Other]\r\nKey=" + (japanese ? "\x93\xFA" : "\xE9") + "\r\n");
  const std::wstring foreign = testing::Widen(folder.path()) + L"\\\u0141ukasz \u0634.spi";
  ASSERT_TRUE(
      CopyFileW(testing::Widen(testing::FixturePath("fx_jpeg")).c_str(), foreign.c_str(), FALSE));
  {
    Attached attached(folder);
    ASSERT_TRUE(SaveSettings());
    EXPECT_NE(folder.ReadIni().substr(0, 2), "\xFF\xFE") << "an ANSI list keeps the file ANSI";
    ASSERT_EQ(RegisterDecoder(foreign.c_str()), 1);
    ASSERT_TRUE(SaveSettings());
  }
  EXPECT_EQ(folder.ReadIni().substr(0, 2), "\xFF\xFE");
  Attached again(folder);
  ASSERT_EQ(DecoderCount(), 2);
  EXPECT_STREQ(DecoderAt(1).path, foreign.c_str());
  EXPECT_EQ(GetPlaceholderSize().width, 64);
  wchar_t other[8] = {};
  GetPrivateProfileStringW(L"Other", L"Key", L"", other, 8,
                           testing::Widen(folder.IniPath()).c_str());
  EXPECT_STREQ(other, japanese ? L"\u65E5" : L"\u00E9");
}

// Notepad saves UTF-8 without a mark: such a file, one with the mark, and a
// UTF-16 one are read in their encoding, and saved in it, with every other
// key's text as it was.
TEST_F(SettingsFileTest, TheFileIsReadAndSavedInItsOwnEncoding) {
  PluginFolder folder;
  folder.AddTavok();
  const std::wstring cat = testing::Widen(folder.path()) + L"\\\u732B";
  ASSERT_TRUE(CreateDirectoryW(cat.c_str(), nullptr));
  ASSERT_TRUE(CopyFileW(testing::Widen(testing::FixturePath("fx_png")).c_str(),
                        (cat + L"\\cat.spi").c_str(), FALSE));
  const std::string added = folder.AddFixture("fx_jpeg", "b.spi");
  const std::wstring text =
      L"[SPI]\r\nCount=1\r\nPath0=\u732B\\cat.spi\r\n[Other]\r\nKey=caf\u00E9 \u732B\r\n";
  const struct {
    TextEncoding encoding;
    std::string mark;
    bool without_temporary_folder = false;
  } cases[] = {{TextEncoding::kUtf8, ""},
               {TextEncoding::kUtf8WithMark, "\xEF\xBB\xBF"},
               {TextEncoding::kUtf16, "\xFF\xFE"},
               // TMP and TEMP name a folder that does not exist.
               {TextEncoding::kUtf8, "", true}};
  const auto encode = [](const std::wstring& wide, TextEncoding encoding) {
    if (encoding == TextEncoding::kUtf16) {
      return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
    }
    std::string bytes(wide.size() * 3, '\0');
    bytes.resize(WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                     &bytes[0], static_cast<int>(bytes.size()), nullptr, nullptr));
    return bytes;
  };
  const auto decode = [](const std::string& bytes, TextEncoding encoding) {
    if (encoding == TextEncoding::kUtf16) {
      return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    }
    std::wstring wide(bytes.size(), L'\0');
    wide.resize(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                    static_cast<int>(bytes.size()), &wide[0],
                                    static_cast<int>(wide.size())));
    return wide;
  };
  char temporary[MAX_PATH] = {}, temp[MAX_PATH] = {};
  GetEnvironmentVariableA("TMP", temporary, MAX_PATH);
  GetEnvironmentVariableA("TEMP", temp, MAX_PATH);
  for (const auto& c : cases) {
    folder.WriteIni(c.mark + encode(text, c.encoding));
    if (c.without_temporary_folder) {
      SetEnvironmentVariableA("TMP", folder.Join("gone").c_str());
      SetEnvironmentVariableA("TEMP", folder.Join("gone").c_str());
    }
    {
      Attached attached(folder);
      EXPECT_EQ(DecoderCount(), 1) << c.mark.size();
      if (DecoderCount() == 1) {
        EXPECT_STREQ(DecoderAt(0).path, (cat + L"\\cat.spi").c_str());
      }
      ASSERT_EQ(RegisterDecoder(added.c_str()), 1);
      EXPECT_TRUE(SaveSettings());
    }
    SetEnvironmentVariableA("TMP", temporary);
    SetEnvironmentVariableA("TEMP", temp);
    const std::string saved = folder.ReadIni();
    ASSERT_EQ(
        DetectTextEncoding(reinterpret_cast<const uint8_t*>(saved.data()), saved.size(), GetACP()),
        c.encoding);
    const std::wstring written = decode(saved.substr(c.mark.size()), c.encoding);
    for (const std::wstring& line :
         {std::wstring(L"Path0=\u732B\\cat.spi\r\n"), L"Path1=" + testing::Widen(added) + L"\r\n",
          std::wstring(L"Key=caf\u00E9 \u732B\r\n")}) {
      EXPECT_NE(written.find(line), std::wstring::npos) << c.mark.size() << " " << saved;
    }
  }
}

// Files the platform reads that an editor or a script leaves: each is read
// whole, tavok.ini or, while there is none, the defaults file, and an OK with
// no change writes back every byte as it was read; a changed list rewrites
// only its own lines.
TEST_F(SettingsFileTest, EveryByteOutsideTheEditedKeysComesBackAsItWasRead) {
  PluginFolder folder;
  folder.AddTavok();
  folder.AddFixture("fx_png", "a.spi");
  const std::string added = folder.AddFixture("fx_jpeg", "b.spi");
  const auto big_endian = [](const std::string& ascii) {
    std::string bytes = "\xFE\xFF";
    for (char c : ascii) bytes += std::string(1, '\0') + c;
    return bytes;
  };
  const std::string list = "[SPI]\r\nCount=1\r\nPath0=a.spi\r\n";
  const std::string others =
      "[Other]\r\nSign=\x87\x90\r\nNote=caf\xE9\r\nKey=\x81\r\n[Icon]\r\nWidth=20\r\n";
  const struct {
    const char* label;
    std::string file;
    bool as_defaults;
    bool add;           // a decoder added before the save
    std::string saved;  // empty: the file as it was
  } cases[] = {
      {"UTF-16 big-endian", big_endian("[SPI]\r\nCount=1\r\nPath0=a.spi\r\n[Icon]\r\nWidth=20\r\n"),
       false, false, ""},
      {"UTF-16 big-endian, a decoder added",
       big_endian("[SPI]\r\nCount=1\r\nPath0=a.spi\r\n[Icon]\r\nWidth=20\r\n"), false, true,
       big_endian("[SPI]\r\nCount=2\r\nPath0=a.spi\r\nPath1=" + added +
                  "\r\n[Icon]\r\nWidth=20\r\n")},
      {"CR line ends", "[SPI]\rCount=1\rPath0=a.spi\r[Icon]\rWidth=20\r", false, false, ""},
      {"CR line ends, a decoder added", "[SPI]\rCount=1\rPath0=a.spi\r[Icon]\rWidth=20", false,
       true, "[SPI]\rCount=2\rPath0=a.spi\rPath1=" + added + "\r[Icon]\rWidth=20"},
      {"a lone CR inside CR LF", "[SPI]\r\nCount=1\rPath0=a.spi\r\n[Icon]\r\nWidth=20\r\n", false,
       false, ""},
      {"blanks inside the brackets",
       "[ SPI ]\r\nCount=1\r\nPath0=a.spi\r\n[Icon\t]\r\nWidth=20\r\n", false, false, ""},
      {"bytes the ANSI code page does not round-trip", list + others, false, false, ""},
      {"the same, a decoder added", list + others, false, true,
       "[SPI]\r\nCount=2\r\nPath0=a.spi\r\nPath1=" + added + "\r\n" + others},
      {"the defaults file, CR line ends", "[SPI]\rCount=1\rPath0=a.spi\r[Icon]\rWidth=20\r", true,
       false, ""},
      {"the defaults file, UTF-16 big-endian",
       big_endian("[ SPI ]\r\nCount=1\r\nPath0=a.spi\r\n[Icon]\r\nWidth=20\r\n"), true, false, ""},
  };
  const std::string defaults = folder.Join("tavok.default.ini");
  for (const auto& c : cases) {
    DeleteFileA(folder.IniPath().c_str());
    DeleteFileA(defaults.c_str());
    if (c.as_defaults) {
      testing::WriteBytes(defaults, c.file.data(), c.file.size());
    } else {
      folder.WriteIni(c.file);
    }
    {
      Attached attached(folder);
      EXPECT_EQ(TablePaths(), Lines{folder.Join("a.spi")}) << c.label;
      EXPECT_EQ(GetPlaceholderSize().width, 20) << c.label;
      if (c.add) {
        ASSERT_EQ(RegisterDecoder(added.c_str()), 1) << c.label;
      }
      EXPECT_TRUE(SaveSettings()) << c.label;
    }
    EXPECT_EQ(folder.ReadIni(), c.saved.empty() ? c.file : c.saved) << c.label;
  }
}

// The platform's own reading is the reference: generated files of the shapes
// editors and scripts leave, each read by Wine's profile functions and by
// tavok's reader, must give the same numbers.
TEST_F(SettingsFileTest, GeneratedFilesReadAsTheProfileFunctionsReadThem) {
  const char* const sections[] = {"[S]", "[ S ]", "[S\t]", "[s]", "[T]", "[S", " [S] ;c", "[ S]]"};
  const char* const keys[] = {"K=", " K = ", "k\t=", ";K=", "K", "L="};
  const char* const values[] = {"2",
                                "\x01"
                                "2",
                                "0X2",
                                "0x1F",
                                "-5",
                                "- 5",
                                "\"42\"",
                                "'9'",
                                "0b101",
                                "0o17",
                                "abc",
                                "",
                                "0000000000000000000000000000064",
                                "99999999999",
                                " 7 "};
  const char* const breaks[] = {"\r", "\n", "\r\n"};
  const testing::ScratchFolder folder;
  uint32_t seed = 12345;
  const auto next = [&seed](uint32_t n) {
    seed = seed * 1103515245 + 12345;
    return (seed >> 16) % n;
  };
  for (int file = 0; file < 300; ++file) {
    std::string text;
    const uint32_t lines = 1 + next(7);
    for (uint32_t line = 0; line < lines; ++line) {
      if (next(3) == 0) {
        text += sections[next(sizeof(sections) / sizeof(sections[0]))];
      } else {
        text += keys[next(sizeof(keys) / sizeof(keys[0]))];
        text += values[next(sizeof(values) / sizeof(values[0]))];
      }
      if (line + 1 < lines || next(2) == 0) text += breaks[next(3)];
    }
    // A name of its own for each: the platform keeps the files it has read.
    const std::string path = folder.Join("p" + std::to_string(file) + ".ini");
    testing::WriteBytes(path, text.data(), text.size());
    const int expected =
        static_cast<int>(GetPrivateProfileIntW(L"S", L"K", 777, testing::Widen(path).c_str()));
    EXPECT_EQ(FindProfileInt(testing::Widen(text), L"S", L"K", 777), expected)
        << ::testing::PrintToString(text);
  }
}

// One of the viewers of the test below: run as a process of its own, it saves
// the decoders it is given, again and again.
TEST_F(SettingsFileTest, SavingProcess) {
  char folder[MAX_PATH] = {}, list[1024] = {};
  if (GetEnvironmentVariableA("TAVOK_SAVE_FOLDER", folder, MAX_PATH) == 0 ||
      GetEnvironmentVariableA("TAVOK_SAVE_LIST", list, sizeof(list)) == 0) {
    GTEST_SKIP() << "a process of TwoProcessesSavingAtOnceLeaveOneOfTheirLists";
  }
  Attached attached(std::string(folder) + "\\" + kOwnFileName);
  UnloadAllDecoders();
  for (char* name = strtok(list, ","); name != nullptr; name = strtok(nullptr, ",")) {
    ASSERT_EQ(RegisterDecoder((std::string(folder) + "\\" + name).c_str()), 1) << name;
  }
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(SaveSettings()) << i;
}

// Two viewers saving at once (a 32-bit and a 64-bit one sharing a folder):
// whenever it is read, the file is whole, and one of the two lists.
TEST_F(SettingsFileTest, TwoProcessesSavingAtOnceLeaveOneOfTheirLists) {
  PluginFolder folder;
  folder.AddTavok();
  const std::string a = folder.AddFixture("fx_png", "a.spi");
  const std::string b = folder.AddFixture("fx_jpeg", "b.spi");
  const std::string c = folder.AddFixture("fx_png_second", "c.spi");
  const std::string initial = "[SPI]\r\nCount=0\r\n[Icon]\r\nWidth=64\r\n";
  folder.WriteIni(initial);
  const std::string lists[] = {"a.spi,b.spi", "c.spi,b.spi,a.spi"};
  const std::string texts[] = {
      "[SPI]\r\nCount=2\r\nPath0=" + a + "\r\nPath1=" + b + "\r\n[Icon]\r\nWidth=64\r\n",
      "[SPI]\r\nCount=3\r\nPath0=" + c + "\r\nPath1=" + b + "\r\nPath2=" + a +
          "\r\n[Icon]\r\nWidth=64\r\n"};
  char program[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  SetEnvironmentVariableA("TAVOK_SAVE_FOLDER", folder.path().c_str());
  PROCESS_INFORMATION processes[2] = {};
  for (int i = 0; i < 2; ++i) {
    SetEnvironmentVariableA("TAVOK_SAVE_LIST", lists[i].c_str());
    std::string command = std::string("\"") + program +
                          "\" --gtest_filter=SettingsFileTest.SavingProcess --gtest_color=no";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &processes[i]));
  }
  SetEnvironmentVariableA("TAVOK_SAVE_FOLDER", nullptr);
  SetEnvironmentVariableA("TAVOK_SAVE_LIST", nullptr);
  // Read as tavok reads it, sharing its deletion: a reader that does not
  // would keep the saves from replacing the file.
  const auto read = [&] {
    std::string text(4096, '\0');
    DWORD size = 0;
    const HANDLE file = CreateFileA(folder.IniPath().c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string("(cannot be opened)");
    ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &size, nullptr);
    CloseHandle(file);
    text.resize(size);
    return text;
  };
  int reads = 0, mixed = 0;
  HANDLE handles[] = {processes[0].hProcess, processes[1].hProcess};
  while (WaitForMultipleObjects(2, handles, TRUE, 0) == WAIT_TIMEOUT) {
    const std::string text = read();
    ++reads;
    if (text != initial && text != texts[0] && text != texts[1] && mixed++ == 0) {
      ADD_FAILURE() << "neither list: " << text;
    }
    Sleep(1);
  }
  for (const PROCESS_INFORMATION& process : processes) {
    DWORD exit_code = 1;
    GetExitCodeProcess(process.hProcess, &exit_code);
    EXPECT_EQ(exit_code, 0u) << "a save failed";
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
  EXPECT_EQ(mixed, 0) << "of " << reads << " reads";
  const std::string last = read();
  EXPECT_TRUE(last == texts[0] || last == texts[1]) << last;
  EXPECT_FALSE(HasStrayFile(folder));
}

TEST_F(SettingsFileTest, SaveCreatesTheFileAndTenEntriesComeBackAsTen) {
  PluginFolder folder;
  folder.AddTavok();
  Lines paths;
  for (int i = 0; i < 10; ++i) {
    paths.push_back(folder.AddFixture("fx_png", "p" + std::to_string(i) + ".spi"));
  }
  {
    Attached attached(folder);
    for (const std::string& path : paths) ASSERT_EQ(RegisterDecoder(path.c_str()), 1);
    ASSERT_TRUE(SaveSettings());
  }
  ASSERT_TRUE(testing::FileExists(folder.IniPath()));
  Attached again(folder);
  EXPECT_EQ(TablePaths(), paths);
}

TEST_F(SettingsFileTest, NothingIsWrittenWithoutASettingsPath) {
  PluginFolder folder;
  folder.AddTavok();
  {
    Attached attached(folder);
    ASSERT_EQ(RegisterDecoder(folder.AddFixture("fx_png", "a.spi").c_str()), 1);
  }
  // A handle whose file name cannot be found leaves the settings path empty.
  AttachModule(reinterpret_cast<HINSTANCE>(0x7FFE0000));
  EnsureTableLoaded();
  EXPECT_STREQ(SettingsPath(), L"");
  ASSERT_EQ(RegisterDecoder(folder.Join("a.spi").c_str()), 1);
  EXPECT_FALSE(SaveSettings());
  EXPECT_FALSE(testing::FileExists(folder.IniPath()));
  DetachModule();
}

}  // namespace
}  // namespace tavok
