// tavok.ini files full of garbage: loading the real tavok.spi never fails,
// only what can be read sensibly is used, and the placeholder keeps a size it
// can render.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "dll/plugin_module.h"
#include "pure/container_builder.h"
#include "support/fixture_log.h"
#include "support/plugin_folder.h"

namespace tavok::testing {
namespace {

// What the loaded module makes of its settings, seen through its exports.
struct Outcome {
  bool png_decoder;  // a .png payload went to the listed decoder
  int32_t width;     // the placeholder's description
  int32_t height;
};

class SettingsGarbage : public ::testing::Test {
 protected:
  SettingsGarbage() {
    folder_.AddTavok();
    folder_.AddFixture("fx_png", "fx_png.spi");
  }

  Outcome LoadWith(const std::string& ini) {
    folder_.WriteIni(ini);
    const PluginModule tavok(folder_.TavokPath());
    const auto get_picture_info = tavok.Get<GetPictureInfoFn>("GetPictureInfo");
    const auto get_picture = tavok.Get<GetPictureFn>("GetPicture");
    Outcome outcome = {};
    const auto png = MakeContainer(HeaderFor("http://h/a.png"), "png");
    HostPictureInfo info = {};
    EXPECT_EQ(get_picture_info(reinterpret_cast<const char*>(png.data()),
                               static_cast<int32_t>(png.size()), 1, &info),
              0);
    LocalFree(info.text);
    outcome.png_decoder = info.width == 4;

    const auto zip = MakeContainer(HeaderFor("http://h/a.zip"), "zip");
    const char* zip_data = reinterpret_cast<const char*>(zip.data());
    const int32_t zip_size = static_cast<int32_t>(zip.size());
    EXPECT_EQ(get_picture_info(zip_data, zip_size, 1, &info), 0);
    LocalFree(info.text);
    outcome.width = info.width;
    outcome.height = info.height;

    // The picture agrees with the description and its block is large enough.
    HLOCAL bitmap_info = nullptr;
    HLOCAL bitmap_bits = nullptr;
    EXPECT_EQ(get_picture(zip_data, zip_size, 1, &bitmap_info, &bitmap_bits, nullptr, 0), 0);
    if (bitmap_info != nullptr && bitmap_bits != nullptr) {
      const auto* header = static_cast<const BITMAPINFOHEADER*>(LocalLock(bitmap_info));
      EXPECT_EQ(header->biWidth, outcome.width);
      EXPECT_EQ(header->biHeight, outcome.height);
      EXPECT_GE(LocalSize(bitmap_bits), (header->biWidth * 3u + 3u) / 4u * 4u * header->biHeight);
      LocalUnlock(bitmap_info);
    }
    LocalFree(bitmap_info);
    LocalFree(bitmap_bits);
    EXPECT_FALSE(IsModuleLoaded("fx_png.spi"));
    return outcome;
  }

  PluginFolder folder_;
};

std::string BinaryGarbage(size_t size) {
  std::string bytes(size, '\0');
  uint32_t state = 0x2545F491;
  for (char& c : bytes) {
    state = state * 1664525u + 1013904223u;
    c = static_cast<char>(state >> 24);
  }
  return bytes;
}

TEST_F(SettingsGarbage, ValuesOutOfRangeOrUnreadableFallBackOrAreBounded) {
  const std::string png_entry = "Path0=fx_png.spi\r\n";
  const std::string long_value(10000, 'a');
  struct Case {
    const char* label;
    std::string ini;
    Outcome expected;
  } cases[] = {
      {"Count=2147483647 reads Path0 to Path9 only",
       "[SPI]\r\nCount=2147483647\r\n" + png_entry,
       {true, 48, 48}},
      {"Count=-2147483648", "[SPI]\r\nCount=-2147483648\r\n" + png_entry, {false, 48, 48}},
      {"Width=-5 and Height=100000 fall back to 48",
       "[SPI]\r\nCount=1\r\n" + png_entry + "[Icon]\r\nWidth=-5\r\nHeight=100000\r\n",
       {true, 48, 48}},
      {"the largest side is kept", "[Icon]\r\nWidth=4096\r\nHeight=1\r\n", {false, 4096, 1}},
      {"Width=0 and Height=4097", "[Icon]\r\nWidth=0\r\nHeight=4097\r\n", {false, 48, 48}},
      {"Width not a number", "[Icon]\r\nWidth=wide\r\nHeight=20x\r\n", {false, 48, 20}},
      {"a value of 10,000 characters is skipped, the next key read",
       "[SPI]\r\nCount=2\r\nPath0=" + long_value + "\r\nPath1=fx_png.spi\r\n",
       {true, 48, 48}},
      {"10,000 characters with a backslash",
       "[SPI]\r\nCount=2\r\nPath0=C:\\" + long_value + "\r\nPath1=fx_png.spi\r\n",
       {true, 48, 48}},
      {"a line of 10,000 characters before the sections",
       long_value + "\r\n[SPI]\r\nCount=1\r\n" + png_entry,
       {true, 48, 48}},
      {"a section name of 10,000 characters",
       "[" + long_value + "]\r\nCount=1\r\n" + png_entry,
       {false, 48, 48}},
      {"binary bytes only", BinaryGarbage(4096), {false, 48, 48}},
  };
  for (const Case& c : cases) {
    const Outcome outcome = LoadWith(c.ini);
    EXPECT_EQ(outcome.png_decoder, c.expected.png_decoder) << c.label;
    EXPECT_EQ(outcome.width, c.expected.width) << c.label;
    EXPECT_EQ(outcome.height, c.expected.height) << c.label;
  }
}

TEST_F(SettingsGarbage, BinaryBytesAroundTheSectionsBreakNothing) {
  // Whole lines between the garbage still count: the section and its key are
  // read as written.
  for (size_t size : {16u, 512u, 4096u, 65536u}) {
    const Outcome outcome =
        LoadWith(BinaryGarbage(size) + "\r\n[SPI]\r\nCount=1\r\nPath0=fx_png.spi\r\n[Icon]\r\n" +
                 "Width=20\r\n" + BinaryGarbage(size));
    EXPECT_EQ(outcome.width, 20) << size;
    EXPECT_EQ(outcome.height, 48) << size;
  }
}

TEST_F(SettingsGarbage, APathOf259BytesLoadsAndOneOf260IsRefusedNotCut) {
  // A decoder whose full path is 259 bytes, the most a path buffer holds.
  const std::string file = "\\x.spi";
  const std::string padding(259 - folder_.path().size() - 1 - file.size(), 'p');
  const std::string deep = folder_.Join(padding);
  ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr)) << deep;
  const std::string decoder = deep + file;
  ASSERT_EQ(decoder.size(), 259u);
  ASSERT_TRUE(CopyFileA(FixturePath("fx_png").c_str(), decoder.c_str(), FALSE));

  EXPECT_TRUE(LoadWith("[SPI]\r\nCount=1\r\nPath0=" + decoder + "\r\n").png_decoder);
  // One byte more names a file that does not exist; cut to 259 bytes it
  // would name the decoder above instead.
  EXPECT_FALSE(LoadWith("[SPI]\r\nCount=1\r\nPath0=" + decoder + "x\r\n").png_decoder);

  // The same for a value without a backslash, joined to the module's folder.
  const std::string name(259 - folder_.path().size() - 1 - 4, 'n');
  ASSERT_TRUE(CopyFileA(FixturePath("fx_png").c_str(), folder_.Join(name + ".spi").c_str(), FALSE));
  EXPECT_TRUE(LoadWith("[SPI]\r\nCount=1\r\nPath0=" + name + ".spi\r\n").png_decoder);
  EXPECT_FALSE(LoadWith("[SPI]\r\nCount=1\r\nPath0=" + name + ".spix\r\n").png_decoder);
}

}  // namespace
}  // namespace tavok::testing
