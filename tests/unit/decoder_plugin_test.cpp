#include "decoders/decoder_plugin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "support/fixture_log.h"

namespace tavok {
namespace {

using testing::FixtureLog;
using testing::FixturePath;
using testing::IsModuleLoaded;

struct MatchCase {
  const char* patterns;
  const char* extension;
  int expected;
};

TEST(DecoderPlugin, MatchesExtensionAgainstEachEntry) {
  const MatchCase cases[] = {
      {"*.jpg;*.jpeg;", ".JPG", 1},
      {"*.jpg;*.jpeg;", ".jpeg", 1},
      {"*.jpg;*.jpeg;", ".jp", 0},
      {"*.jpg;*.jpeg;", "jpg", 0},
      {"*.jpg;*.png", ".png", 0},    // a trailing entry without ";" is never compared
      {"?.gif;", ".gif", 1},         // the first character is skipped, whatever it is
      {"*.gif;;*.bmp;", ".bmp", 1},  // an empty entry matches nothing
      {";", "", 0},
      {"", ".png", 0},
      {"*.png;", ".png;", 0},
      // Blanks around an entry are no part of it.
      {"*.gif; *.png;", ".png", 1},
      {"*.gif ;\t*.png\t;", ".gif", 1},
      {"*.gif; *.png ;", ".png", 1},
      {" ; *.bmp;", ".bmp", 1},
      {"* .png;", ".png", 0},
  };
  for (const MatchCase& c : cases) {
    DecoderPlugin plugin;
    std::strcpy(plugin.patterns, c.patterns);
    EXPECT_EQ(plugin.MatchesExtension(c.extension), c.expected) << c.patterns << " " << c.extension;
  }
}

TEST(DecoderPlugin, OnlyTheFirst253BytesOfPatternsAreCompared) {
  // A filler entry of `filler` bytes, then "*.ab;" whose ";" stands at byte
  // filler + 4: compared while that is byte 252 or earlier.
  for (const size_t filler : {200u, 248u, 249u, 250u}) {
    DecoderPlugin plugin;
    const std::string text = "*." + std::string(filler - 3, 'z') + ";*.ab;";
    std::strcpy(plugin.patterns, text.c_str());
    EXPECT_EQ(plugin.MatchesExtension(".ab"), filler + 4 <= 252 ? 1 : 0) << filler;
    EXPECT_EQ(plugin.MatchesExtension(("." + std::string(filler - 3, 'z')).c_str()), 1) << filler;
  }
}

TEST(DecoderPlugin, AppendPatternStopsBelow256BytesAndGoesOnAfterwards) {
  DecoderPlugin plugin;
  const std::string long_pattern(200, 'p');
  plugin.AppendPattern(long_pattern.c_str());
  EXPECT_EQ(std::strlen(plugin.patterns), 201u);
  // 201 + 54 + 1 = 256: dropped.
  plugin.AppendPattern(std::string(54, 'q').c_str());
  EXPECT_EQ(std::strlen(plugin.patterns), 201u);
  // 201 + 53 + 1 = 255: kept, and the text is then full.
  plugin.AppendPattern(std::string(53, 'r').c_str());
  EXPECT_EQ(std::strlen(plugin.patterns), 255u);
  EXPECT_EQ(plugin.patterns[254], ';');
  plugin.AppendPattern("");
  EXPECT_EQ(std::strlen(plugin.patterns), 255u);
}

TEST(DecoderPlugin, LoadUnloadAndTheDestructorRelease) {
  FixtureLog log;
  {
    DecoderPlugin plugin;
    EXPECT_EQ(plugin.Unload(), 0);
    EXPECT_EQ(plugin.SetPath(FixturePath("fx_png").c_str()), 1);
    EXPECT_EQ(plugin.Load(), 1);  // already loaded: no second load
    EXPECT_TRUE(IsModuleLoaded("fx_png.spi"));
    EXPECT_EQ(plugin.Unload(), 1);
    EXPECT_FALSE(IsModuleLoaded("fx_png.spi"));
    EXPECT_EQ(plugin.Unload(), 0);
    EXPECT_EQ(plugin.Load(), 1);
  }
  EXPECT_FALSE(IsModuleLoaded("fx_png.spi"));
  EXPECT_EQ(log.Events({"attach", "detach"}),
            (std::vector<std::string>{"fx_png attach", "fx_png detach", "fx_png attach",
                                      "fx_png detach"}));
}

TEST(DecoderPlugin, SetPathFailsForMissingModulesAndTruncatesLongPaths) {
  DecoderPlugin plugin;
  EXPECT_EQ(plugin.SetPath((testing::ProgramFolder() + "\\missing.spi").c_str()), 0);
  EXPECT_FALSE(plugin.IsLoaded());
  const std::string long_path(400, 'x');
  EXPECT_EQ(plugin.SetPath(long_path.c_str()), 0);
  EXPECT_EQ(std::wcslen(plugin.path), 259u);
}

TEST(DecoderPlugin, MissingExportsGiveFixedResults) {
  struct Case {
    const char* fixture;
    int32_t info, supported, configuration, picture_info, picture;
  } cases[] = {
      {"fx_png", 5, 1, 1, 0, 0},
      {"fx_jpeg", 5, 1, -1, 0, 0},
      {"fx_no_info", 0, 1, -1, kMissingEntryPoint, kMissingEntryPoint},
      {"fx_no_picture", 5, 1, -1, 0, kMissingEntryPoint},
      {"fx_no_picture_info", 5, 1, -1, kMissingEntryPoint, 0},
  };
  static const uint8_t payload[2000] = {0x89, 'P', 'N', 'G'};
  for (const Case& c : cases) {
    DecoderPlugin plugin;
    ASSERT_EQ(plugin.SetPath(FixturePath(c.fixture).c_str()), 1) << c.fixture;
    char buffer[11];
    EXPECT_EQ(plugin.QueryInfo(0, buffer, 10), c.info == 5 ? 4 : 0) << c.fixture;
    EXPECT_EQ(plugin.QuerySupported("a.png", payload), c.supported) << c.fixture;
    EXPECT_EQ(plugin.HasConfigurationDialog(), c.configuration) << c.fixture;
    PictureInfo info = {};
    EXPECT_EQ(plugin.QueryPictureInfo(payload, sizeof(payload), 1, &info), c.picture_info)
        << c.fixture;
    LocalFree(info.text);
    HLOCAL bitmap_info = nullptr;
    HLOCAL bitmap_bits = nullptr;
    EXPECT_EQ(
        plugin.QueryPicture(payload, sizeof(payload), 1, &bitmap_info, &bitmap_bits, nullptr, 0),
        c.picture)
        << c.fixture;
    LocalFree(bitmap_info);
    LocalFree(bitmap_bits);
  }
}

// A 64-bit decoder built without the record's padding puts its handle at
// offset 22; the host's record gets it in its place either way, and fields,
// text and nothing else as the decoder wrote them.
TEST(DecoderPlugin, TheDescriptionIsReadWhateverTheDecodersRecordLayout) {
  const struct Case {
    const char* fixture;
    const char* text;  // null: the decoder hands over no text
  } cases[] = {
      {"fx_png", "fixture text"},
      {"fx_unpadded_info", "unpadded text"},
      {"fx_png_second", nullptr},
  };
  const uint8_t payload[kHeadSize] = {0x89, 'P', 'N', 'G'};
  for (const Case& c : cases) {
    DecoderPlugin plugin;
    ASSERT_EQ(plugin.SetPath(FixturePath(c.fixture).c_str()), 1) << c.fixture;
    PictureInfo info;
    std::memset(&info, 0xCD, sizeof(info));
    ASSERT_EQ(plugin.QueryPictureInfo(payload, sizeof(payload), 1, &info), kSuccess);
    EXPECT_EQ(info.width, 4) << c.fixture;
    EXPECT_EQ(info.height, 3) << c.fixture;
    EXPECT_EQ(info.x_density, 72) << c.fixture;
    EXPECT_EQ(info.colour_depth, 24) << c.fixture;
    if (c.text == nullptr) {
      EXPECT_EQ(info.text, nullptr) << c.fixture;
      continue;
    }
    ASSERT_NE(info.text, nullptr) << c.fixture;
    EXPECT_STREQ(static_cast<const char*>(LocalLock(info.text)), c.text) << c.fixture;
    LocalUnlock(info.text);
    EXPECT_EQ(LocalFree(info.text), nullptr) << c.fixture;
  }
}

TEST(DecoderPlugin, QueryInfoKeepsOnlyTextTheDecoderWrote) {
  struct Case {
    const char* fixture;
    int32_t number;
    int32_t length;
    int32_t kept;
    const char* text;
  } cases[] = {
      // Writes "00IN" and a terminator, reports the buffer length plus 50.
      {"fx_overcount", 0, 10, 10, "00IN"},
      // Fills all ten bytes without a terminator and reports 60.
      {"fx_overcount", 1, 10, 10, "Reports mo"},
      // Fills all ten bytes and reports a negative count: no text.
      {"fx_negative", 1, 10, 0, ""},
      // Writes five bytes and no terminator, reports 25: the caller's buffer
      // held garbage after them.
      {"fx_garbage_info", 1, 100, 25, "Short"},
      {"fx_garbage_info", 0, 10, 10, "00IN"},
      {"fx_png", 1, 100, 19, "Fixture PNG decoder"},
      {"fx_png", 1, 7, 7, "Fixture"},
  };
  for (const Case& c : cases) {
    DecoderPlugin plugin;
    ASSERT_EQ(plugin.SetPath(FixturePath(c.fixture).c_str()), 1);
    char buffer[128];
    std::memset(buffer, 'X', sizeof(buffer));
    EXPECT_EQ(plugin.QueryInfo(c.number, buffer, c.length), c.kept) << c.fixture;
    EXPECT_STREQ(buffer, c.text) << c.fixture << " " << c.number;
  }
}

int __stdcall AnswerFive(int, int, LONG_PTR) {
  return 5;
}

TEST(DecoderPlugin, QueryPictureHandsTheDecoderACallbackThatNeverAborts) {
  FixtureLog log;
  DecoderPlugin plugin;
  ASSERT_EQ(plugin.SetPath(FixturePath("fx_png").c_str()), 1);
  const uint8_t payload[8] = {0x89, 'P', 'N', 'G'};
  HLOCAL info = nullptr;
  HLOCAL bits = nullptr;
  ASSERT_EQ(plugin.QueryPicture(payload, 8, 1, &info, &bits, nullptr, 17), 0);
  LocalFree(info);
  LocalFree(bits);
  ASSERT_EQ(plugin.QueryPicture(payload, 8, 1, &info, &bits, &AnswerFive, 18), 0);
  LocalFree(info);
  LocalFree(bits);
  EXPECT_EQ(log.Events({"GetPicture"}),
            (std::vector<std::string>{"fx_png GetPicture 8 1 89 callback=set answer=0 user=17",
                                      "fx_png GetPicture 8 1 89 callback=set answer=5 user=18"}));
}

}  // namespace
}  // namespace tavok
