// tavok and a real decoder together: a cache file wrapping a PNG, listed
// decoder ifwic.spi, through the built tavok.spi's exports.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../pure/container_builder.h"
#include "../support/plugin_folder.h"
#include "dib.h"

namespace tavok::testing {
namespace {

class Delegation : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.AddTavok();
    folder_.AddCopy(ProgramFolder() + "\\" + kIfwicName, kIfwicName);
    folder_.WriteIni("[SPI]\r\nCount=1\r\nPath0=" + kIfwicName + "\r\n");
    tavok_ = std::make_unique<PluginModule>(folder_.TavokPath());
    get_picture_info_ = tavok_->Get<GetPictureInfoFn>("GetPictureInfo");
    get_picture_ = tavok_->Get<GetPictureFn>("GetPicture");
  }

  DibBlocks Through(const char* buffer, LONG_PTR length, uint32_t flag, int32_t* result) {
    HLOCAL info = nullptr;
    HLOCAL bits = nullptr;
    *result = get_picture_(buffer, length, flag, &info, &bits, nullptr, 0);
    DibBlocks dib;
    if (*result == 0) {
      dib.info = TakeBlock(info);
      dib.pixels = TakeBlock(bits);
    }
    return dib;
  }

  PluginFolder folder_;
  std::unique_ptr<PluginModule> tavok_;
  GetPictureInfoFn get_picture_info_ = nullptr;
  GetPictureFn get_picture_ = nullptr;
};

TEST_F(Delegation, ACachedPngRendersAsTheDecoderRendersItDirectly) {
  for (bool alpha : {false, true}) {
    const std::vector<uint8_t> png = EncodePng(kWidth, kHeight, alpha, TestPattern);
    DibBlocks direct;
    {
      Ifwic ifwic;
      int32_t result = -1;
      direct = ifwic.DecodeMemory(png, &result);
      ASSERT_EQ(result, 0);
    }
    const auto container = MakeContainer(HeaderFor("http://example.com/p/pic.png?size=2"),
                                         std::string(png.begin(), png.end()));
    const std::string path = folder_.Write("cached.qcx", container);

    int32_t result = -1;
    const DibBlocks from_file = Through(path.c_str(), 0, 0, &result);
    ASSERT_EQ(result, 0) << "alpha " << alpha;
    EXPECT_EQ(from_file.info, direct.info) << "alpha " << alpha;
    EXPECT_EQ(from_file.pixels, direct.pixels) << "alpha " << alpha;
    EXPECT_EQ(from_file.pixels, DibRows(kWidth, kHeight, alpha ? 32 : 24, TestPattern));

    const DibBlocks from_memory = Through(reinterpret_cast<const char*>(container.data()),
                                          static_cast<int32_t>(container.size()), 1, &result);
    ASSERT_EQ(result, 0);
    EXPECT_EQ(from_memory.info, direct.info);
    EXPECT_EQ(from_memory.pixels, direct.pixels);
  }
  EXPECT_EQ(GetModuleHandleA(kIfwicName.c_str()), nullptr) << "released after each request";
}

TEST_F(Delegation, TheDescriptionCarriesTheUrlAndTheDecodersText) {
  const std::vector<uint8_t> png = EncodePng(kWidth, kHeight, false, TestPattern);
  const auto container =
      MakeContainer(HeaderFor("http://example.com/p/pic.png"), std::string(png.begin(), png.end()));
  const std::string path = folder_.Write("cached.qcx", container);
  PictureInfo info = {};
  ASSERT_EQ(get_picture_info_(path.c_str(), 0, 0, &info), 0);
  EXPECT_EQ(info.width, kWidth);
  EXPECT_EQ(info.height, kHeight);
  const std::vector<uint8_t> text = TakeBlock(info.text);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(text.data())),
            "http://example.com/p/pic.png\r\nPNG 50x7");
}

}  // namespace
}  // namespace tavok::testing
