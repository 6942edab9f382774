#include "decoders/decoder_table.h"

#include "container/module_header.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/fixture_log.h"
#include "support/test_files.h"

// Exported from this program as GetPluginInfo (unit_tests.def).
extern "C" int32_t __stdcall TestProgramPluginInfo(int32_t number, char* buffer, int32_t length) {
  const char* text = number == 0 ? "00IN" : nullptr;
  if (text == nullptr || length < 5) return 0;
  std::memcpy(buffer, text, 5);
  return 5;
}

namespace tavok {
namespace {

using testing::FixtureLog;
using testing::FixturePath;
using testing::IsModuleLoaded;
using testing::ScratchFolder;
using Lines = std::vector<std::string>;

const uint8_t kPng[2000] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// No image format's signature: only the name can choose a decoder for it.
const uint8_t kPage[2000] = {'<', 'h', 't', 'm', 'l', '>'};

class DecoderTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UnloadAllDecoders();
    SetKeepDecodersLoaded(false);
  }
  void TearDown() override {
    UnloadAllDecoders();
    SetKeepDecodersLoaded(false);
  }

  static std::vector<std::string> Paths() {
    std::vector<std::string> paths;
    for (int32_t i = 0; i < DecoderCount(); ++i)
      paths.push_back(testing::Narrow(DecoderAt(i).path));
    return paths;
  }

  // A copy of a fixture under another name, so that it loads as a module of
  // its own.
  std::string CopyOf(const std::string& fixture, const std::string& name) {
    const std::string path = scratch_.Join(name);
    EXPECT_TRUE(CopyFileA(FixturePath(fixture).c_str(), path.c_str(), FALSE)) << path;
    return path;
  }

  FixtureLog log_;
  ScratchFolder scratch_;
};

TEST_F(DecoderTableTest, RegistrationKeepsOrderAndDeclarationsAndReleasesEachModule) {
  for (const char* fixture : {"fx_png", "fx_jpeg", "fx_png_second"}) {
    EXPECT_EQ(RegisterDecoder(FixturePath(fixture).c_str()), 1) << fixture;
  }
  ASSERT_EQ(DecoderCount(), 3);
  EXPECT_EQ(Paths(),
            (Lines{FixturePath("fx_png"), FixturePath("fx_jpeg"), FixturePath("fx_png_second")}));
  EXPECT_STREQ(DecoderAt(0).patterns, "*.png;");
  EXPECT_STREQ(DecoderAt(1).patterns, "*.jpg;*.jpeg;");
  EXPECT_STREQ(DecoderAt(2).patterns, "*.gif;*.PNG;");
  EXPECT_STREQ(DecoderAt(0).description, "Fixture PNG decoder");
  EXPECT_STREQ(DecoderAt(2).description, "Second PNG decoder");
  EXPECT_EQ(DecoderAt(0).has_configuration, 1);
  EXPECT_EQ(DecoderAt(1).has_configuration, 0);
  for (int32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(DecoderAt(i).category, 0);
    EXPECT_FALSE(DecoderAt(i).IsLoaded());
  }
  for (const char* module : {"fx_png.spi", "fx_jpeg.spi", "fx_png_second.spi"}) {
    EXPECT_FALSE(IsModuleLoaded(module)) << module;
  }
  EXPECT_EQ(log_.Events({"attach", "detach"}),
            (Lines{"fx_png attach", "fx_png detach", "fx_jpeg attach", "fx_jpeg detach",
                   "fx_png_second attach", "fx_png_second detach"}));
  // Version, then patterns until the first 0, then the description; format
  // names (odd numbers above 1) are never asked for.
  EXPECT_EQ(log_.Events({"GetPluginInfo"}).size(), 4u + 5 + 5);
  EXPECT_EQ(log_.Lines()[1], "fx_png GetPluginInfo 0 10");
  EXPECT_EQ(log_.Lines()[2], "fx_png GetPluginInfo 2 100");
  EXPECT_EQ(log_.Lines()[3], "fx_png GetPluginInfo 4 100");
  EXPECT_EQ(log_.Lines()[4], "fx_png GetPluginInfo 1 100");
}

TEST_F(DecoderTableTest, TheEleventhRegistrationFailsAndLoadsNothing) {
  for (int i = 0; i < kMaxDecoders; ++i) {
    const std::string path = CopyOf("fx_png", "d" + std::to_string(i) + ".spi");
    ASSERT_EQ(RegisterDecoder(path.c_str()), 1) << i;
  }
  const std::string eleventh = CopyOf("fx_jpeg", "eleventh.spi");
  log_.Clear();
  EXPECT_EQ(RegisterDecoder(eleventh.c_str()), 0);
  EXPECT_EQ(DecoderCount(), kMaxDecoders);
  EXPECT_TRUE(log_.Lines().empty());
}

TEST_F(DecoderTableTest, RefusalsBeforeAnyLoad) {
  const std::string path = CopyOf("fx_png", "Dec.spi");
  ASSERT_EQ(RegisterDecoder(path.c_str()), 1);
  const auto upper_case = [](std::string text) {
    for (char& c : text) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return text;
  };
  const std::string upper = upper_case(path);
  const std::string own_name = CopyOf("fx_png", upper_case(kOwnFileName));
  std::string mixed_case = kOwnFileName;
  mixed_case[6] = 'S';  // tavok.Spi, tavok.Sph
  const std::string own_name_lower = scratch_.Join("sub\\" + mixed_case);
  // The same decoder, marked as built for the other architecture.
  const std::string foreign = CopyOf("fx_png", "foreign.spi");
  std::vector<uint8_t> bytes = testing::ReadBytes(foreign);
  uint32_t pe = 0;
  std::memcpy(&pe, bytes.data() + 0x3C, sizeof(pe));
  const uint16_t other = sizeof(void*) == 8 ? kMachineX86 : kMachineX64;
  std::memcpy(bytes.data() + pe + 4, &other, sizeof(other));
  testing::WriteBytes(foreign, bytes.data(), bytes.size());
  log_.Clear();

  EXPECT_EQ(RegisterDecoder(upper.c_str()), 0) << "duplicate in another letter case";
  EXPECT_EQ(RegisterDecoder(own_name.c_str()), 0) << "the module's own file name";
  EXPECT_EQ(RegisterDecoder(own_name_lower.c_str()), 0);
  EXPECT_EQ(RegisterDecoder(foreign.c_str()), 0) << "built for the other architecture";
  EXPECT_EQ(DecoderCount(), 1);
  EXPECT_TRUE(log_.Lines().empty());
}

TEST_F(DecoderTableTest, AModuleThatIsThisVeryModuleIsRefusedWhateverItsSpelling) {
  // In this test program the code's own module is the program itself, which
  // answers "00IN": only the own-module check can refuse it.
  char own[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(nullptr, own, MAX_PATH), 0u);
  std::string forward = own;
  for (char& c : forward) {
    if (c == '\\') c = '/';
  }
  char short_name[MAX_PATH] = {};
  GetShortPathNameA(own, short_name, MAX_PATH);
  const std::string bare = std::string(own).substr(std::string(own).find_last_of('\\') + 1);

  for (const std::string& spelling : {std::string(own), forward, std::string(short_name), bare}) {
    if (spelling.empty()) continue;
    EXPECT_EQ(RegisterDecoder(spelling.c_str()), 0) << spelling;
    EXPECT_EQ(DecoderCount(), 0) << spelling;
  }
  // The refused slot is free again and starts clean.
  ASSERT_EQ(RegisterDecoder(FixturePath("fx_jpeg").c_str()), 1);
  EXPECT_STREQ(DecoderAt(0).patterns, "*.jpg;*.jpeg;");
}

TEST_F(DecoderTableTest, ARefusedModuleIsReleasedAndItsSlotReusedClean) {
  struct Case {
    const char* fixture;
    Lines events;
  } refused[] = {
      {"fx_version", {"fx_version attach", "fx_version detach"}},
      {"fx_no_info", {"fx_no_info attach", "fx_no_info detach"}},
  };
  for (const Case& c : refused) {
    log_.Clear();
    EXPECT_EQ(RegisterDecoder(FixturePath(c.fixture).c_str()), 0) << c.fixture;
    EXPECT_EQ(log_.Events({"attach", "detach"}), c.events);
    EXPECT_FALSE(IsModuleLoaded(std::string(c.fixture) + ".spi"));
  }
  EXPECT_EQ(RegisterDecoder(scratch_.Join("missing.spi").c_str()), 0);
  EXPECT_EQ(DecoderCount(), 0);

  // Leave declarations behind in slot 0, then reuse it for a decoder that
  // declares no description.
  ASSERT_EQ(RegisterDecoder(FixturePath("fx_jpeg").c_str()), 1);
  RemoveDecoder(0);
  ASSERT_EQ(RegisterDecoder(FixturePath("fx_no_picture").c_str()), 1);
  EXPECT_STREQ(DecoderAt(0).patterns, "*.png;");
  EXPECT_STREQ(DecoderAt(0).description, "");
}

TEST_F(DecoderTableTest, ManyPatternsStopAtTheLimitWhileTheQueryLoopRunsToItsEnd) {
  ASSERT_EQ(RegisterDecoder(FixturePath("fx_many").c_str()), 1);
  // Eight 30-byte entries fit (240 bytes); the ninth and tenth would pass 255,
  // the short eleventh still fits.
  const std::string patterns = DecoderAt(0).patterns;
  EXPECT_EQ(patterns.size(), 8u * 30 + 6);
  EXPECT_EQ(patterns.substr(patterns.size() - 6), "*.png;");
  EXPECT_EQ(patterns.find("a09"), std::string::npos);
  const Lines queries = log_.Events({"GetPluginInfo"});
  ASSERT_GE(queries.size(), 2u);
  EXPECT_EQ(queries[queries.size() - 2], "fx_many GetPluginInfo 24 100");  // answered 0
  EXPECT_EQ(queries.back(), "fx_many GetPluginInfo 1 100");
}

TEST_F(DecoderTableTest, OversizedAnswersAreCutAtTheBufferTheDecoderWasGiven) {
  // One pattern text of hundreds of bytes and a long description, each
  // reported at its full length: only the 100 bytes handed over are kept.
  ASSERT_EQ(RegisterDecoder(FixturePath("fx_long_list").c_str()), 1);
  std::string expected;
  for (int i = 10; i < 27; ++i) expected += "*.a" + std::to_string(i) + ";";
  expected.resize(100);
  EXPECT_EQ(std::string(DecoderAt(0).patterns), expected + ";");
  EXPECT_EQ(std::string(DecoderAt(0).description).size(), 100u);
}

TEST_F(DecoderTableTest, APatternListThatNeverEndsIsAskedABoundedNumberOfTimes) {
  ASSERT_EQ(RegisterDecoder(FixturePath("fx_endless").c_str()), 1);
  // 42 entries of 6 bytes fill the 256 bytes; asking goes on up to a bound.
  const std::string patterns = DecoderAt(0).patterns;
  EXPECT_EQ(patterns.size(), 42u * 6);
  EXPECT_EQ(patterns.substr(0, 12), "*.end;*.end;");
  EXPECT_EQ(DecoderAt(0).MatchesExtension(".end"), 1);
  const Lines queries = log_.Events({"GetPluginInfo"});
  ASSERT_EQ(queries.size(), 1u + 1024u + 1u);
  EXPECT_EQ(queries[1024], "fx_endless GetPluginInfo 2048 100");
  EXPECT_EQ(queries.back(), "fx_endless GetPluginInfo 1 100");
}

TEST_F(DecoderTableTest, FindDecoderTriesMatchingEntriesInOrderAndKeepsOnlyTheAcceptingOne) {
  for (const char* fixture : {"fx_jpeg", "fx_decline", "fx_png", "fx_png_second"}) {
    ASSERT_EQ(RegisterDecoder(FixturePath(fixture).c_str()), 1);
  }
  log_.Clear();
  DecoderPlugin chosen;
  EXPECT_EQ(FindDecoder(0, kPng, sizeof(kPng), "pic.png", nullptr, &chosen), 2);
  EXPECT_EQ(
      log_.Events({"attach", "detach", "IsSupported"}),
      (Lines{"fx_decline attach", "fx_decline IsSupported pic.png 89504e47 sum=425",
             "fx_decline detach", "fx_png attach", "fx_png IsSupported pic.png 89504e47 sum=425"}));
  EXPECT_TRUE(chosen.IsLoaded());
  EXPECT_FALSE(DecoderAt(2).IsLoaded()) << "the request's own reference, not the table's";
  EXPECT_TRUE(IsModuleLoaded("fx_png.spi"));
  EXPECT_FALSE(IsModuleLoaded("fx_decline.spi"));
  EXPECT_FALSE(IsModuleLoaded("fx_png_second.spi"));
  ReleaseDecoder(&chosen);
  EXPECT_FALSE(IsModuleLoaded("fx_png.spi"));

  // An explicit extension, in any case, overrides the name's.
  EXPECT_EQ(FindDecoder(0, kPng, sizeof(kPng), "pic.png", ".GIF", &chosen), 3);
  ReleaseDecoder(&chosen);
  EXPECT_EQ(FindDecoder(0, kPng, sizeof(kPng), "photo.JPEG", nullptr, &chosen), 0);
  ReleaseDecoder(&chosen);
}

TEST_F(DecoderTableTest, FindDecoderLoadsNothingWhenNoEntryCanApply) {
  for (const char* fixture : {"fx_png", "fx_jpeg"}) {
    ASSERT_EQ(RegisterDecoder(FixturePath(fixture).c_str()), 1);
  }
  log_.Clear();
  struct Case {
    const char* label;
    uint8_t category;
    int32_t size;
    const char* name;
  } cases[] = {
      {"empty payload", 0, 0, "pic.png"},
      {"no dot", 0, sizeof(kPage), "png"},
      {"empty name", 0, sizeof(kPage), ""},
      {"other category", 1, sizeof(kPage), "pic.png"},
      {"unknown extension", 0, sizeof(kPage), "pic.bmp"},
  };
  for (const Case& c : cases) {
    DecoderPlugin chosen;
    EXPECT_EQ(FindDecoder(c.category, kPage, c.size, c.name, nullptr, &chosen), -1) << c.label;
    EXPECT_FALSE(chosen.IsLoaded()) << c.label;
  }
  EXPECT_TRUE(log_.Lines().empty());
}

TEST_F(DecoderTableTest, FindDecoderSkipsADecoderThatNoLongerLoads) {
  const std::string vanishing = CopyOf("fx_png", "vanishing.spi");
  ASSERT_EQ(RegisterDecoder(vanishing.c_str()), 1);
  ASSERT_EQ(RegisterDecoder(FixturePath("fx_png_second").c_str()), 1);
  ASSERT_TRUE(DeleteFileA(vanishing.c_str()));
  DecoderPlugin chosen;
  EXPECT_EQ(FindDecoder(0, kPng, sizeof(kPng), "a.png", nullptr, &chosen), 1);
  ReleaseDecoder(&chosen);
}

// Kept loaded, a decoder a request used stays with its entry until the entry
// is removed or the table emptied.
// A decoder that calls back into tavok while it is being registered reaches
// the loader's caller again, on the same thread: that must neither run the
// load again nor wait for itself.
TEST_F(DecoderTableTest, TheLoaderRunsOnceAndACallFromInsideItGoesOn) {
  static int runs;
  runs = 0;
  SetTableLoader([] {
    ++runs;
    EnsureTableLoaded();
  });
  EnsureTableLoaded();
  EnsureTableLoaded();
  SetTableLoader(nullptr);
  EXPECT_EQ(runs, 1);
}

TEST_F(DecoderTableTest, RemoveKeepsOrderAndUnloadAllEmpties) {
  SetKeepDecodersLoaded(true);
  const std::string a = FixturePath("fx_png");
  const std::string b = FixturePath("fx_jpeg");
  const std::string c = FixturePath("fx_png_second");
  for (const std::string& path : {a, b, c}) ASSERT_EQ(RegisterDecoder(path.c_str()), 1);

  DecoderPlugin chosen;
  ASSERT_EQ(FindDecoder(0, kPng, sizeof(kPng), "x.jpg", nullptr, &chosen), 1);
  ReleaseDecoder(&chosen);
  EXPECT_TRUE(DecoderAt(1).IsLoaded()) << "B stays loaded";
  EXPECT_TRUE(IsModuleLoaded("fx_jpeg.spi"));
  RemoveDecoder(0);
  EXPECT_EQ(Paths(), (Lines{b, c}));
  EXPECT_STREQ(DecoderAt(0).patterns, "*.jpg;*.jpeg;");
  EXPECT_TRUE(DecoderAt(0).IsLoaded()) << "the moved entry keeps its library";
  RemoveDecoder(0);
  EXPECT_FALSE(IsModuleLoaded("fx_jpeg.spi"));
  EXPECT_EQ(Paths(), (Lines{c}));
  RemoveDecoder(5);  // out of range: nothing
  RemoveDecoder(-1);
  EXPECT_EQ(DecoderCount(), 1);

  ASSERT_EQ(RegisterDecoder(a.c_str()), 1);
  // C, now first, declares *.PNG and accepts.
  ASSERT_EQ(FindDecoder(0, kPng, sizeof(kPng), "x.png", nullptr, &chosen), 0);
  ReleaseDecoder(&chosen);
  EXPECT_TRUE(IsModuleLoaded("fx_png_second.spi"));
  UnloadAllDecoders();
  EXPECT_FALSE(IsModuleLoaded("fx_png_second.spi"));
  EXPECT_EQ(DecoderCount(), 0);
  EXPECT_FALSE(IsModuleLoaded("fx_png.spi"));
  EXPECT_EQ(log_.Events({"detach"}).size(), log_.Events({"attach"}).size());
}

}  // namespace
}  // namespace tavok
