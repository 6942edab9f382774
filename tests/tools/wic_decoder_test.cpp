// Black-box tests of the example decoder ifwic.spi, through LoadLibraryA and
// its exports, on pictures whose pixels the tests chose.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "../support/test_files.h"
#include "dib.h"
#include "host/handles.h"

namespace tavok::testing {
namespace {

// An icon file holding one PNG image, as icons of 256 pixels and more do.
std::vector<uint8_t> IcoWithPng(int width, int height, const std::vector<uint8_t>& png) {
  const uint32_t size = static_cast<uint32_t>(png.size());
  const uint8_t header[] = {0,
                            0,
                            1,
                            0,
                            1,
                            0,  // reserved, type icon, one image
                            static_cast<uint8_t>(width),
                            static_cast<uint8_t>(height),
                            0,
                            0,
                            1,
                            0,
                            32,
                            0,  // planes, bits per pixel
                            static_cast<uint8_t>(size),
                            static_cast<uint8_t>(size >> 8),
                            static_cast<uint8_t>(size >> 16),
                            static_cast<uint8_t>(size >> 24),
                            22,
                            0,
                            0,
                            0};  // offset of the image, after these 22 bytes
  std::vector<uint8_t> ico(sizeof(header) + png.size());
  std::copy(std::begin(header), std::end(header), ico.begin());
  std::copy(png.begin(), png.end(), ico.begin() + sizeof(header));
  return ico;
}

// Busy bytes in the process heap, where local-heap blocks live.
size_t HeapBytesInUse() {
  HANDLE heap = GetProcessHeap();
  size_t total = 0;
  PROCESS_HEAP_ENTRY entry = {};
  HeapLock(heap);
  while (HeapWalk(heap, &entry)) {
    if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += entry.cbData;
  }
  HeapUnlock(heap);
  return total;
}

class WicDecoder : public ::testing::Test {
 protected:
  Ifwic ifwic_;
  ScratchFolder folder_;
};

TEST_F(WicDecoder, DeclaresTheInterfaceAndAPatternForEachFormat) {
  char text[100];
  ASSERT_EQ(ifwic_.get_plugin_info(0, text, 10), 5);
  EXPECT_STREQ(text, "00IN");
  ASSERT_GT(ifwic_.get_plugin_info(1, text, sizeof(text)), 1);

  // Hosts read pattern texts at 2, 4, 6 ... until one returns 0, each
  // followed by a format name.
  std::set<std::string> extensions;
  int32_t number = 2;
  for (; ifwic_.get_plugin_info(number, text, sizeof(text)) > 0; number += 2) {
    std::string patterns = std::string(text) + ";";
    for (size_t end; (end = patterns.find(';')) != std::string::npos;) {
      const std::string pattern = patterns.substr(0, end);
      ASSERT_EQ(pattern.rfind("*.", 0), 0u) << pattern;
      extensions.insert(pattern.substr(1));
      patterns.erase(0, end + 1);
    }
    EXPECT_GT(ifwic_.get_plugin_info(number + 1, text, sizeof(text)), 1) << number + 1;
  }
  EXPECT_EQ(ifwic_.get_plugin_info(number + 1, text, sizeof(text)), 0);
  for (const char* extension : {".png", ".jpg", ".jpeg", ".gif", ".bmp", ".tif", ".tiff", ".ico"}) {
    EXPECT_EQ(extensions.count(extension), 1u) << extension;
  }
}

TEST_F(WicDecoder, IsSupportedGoesByTheFirstBytes) {
  const struct {
    const char* what;
    std::string head;
    int32_t expected;
  } cases[] = {
      {"PNG", std::string("\x89PNG\r\n\x1a\n", 8), 1},
      {"JPEG", "\xff\xd8\xff\xe0", 1},
      {"GIF87a", "GIF87a", 1},
      {"GIF89a", "GIF89a", 1},
      {"BMP", std::string("BM\x36\x24\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0", 18), 1},
      {"TIFF little-endian", std::string("II*\0", 4), 1},
      {"TIFF big-endian", std::string("MM\0*", 4), 1},
      {"ICO", std::string("\0\0\1\0\1\0\x10\x10\0\0", 10), 1},
      {"text starting with BM", "BMW owners' club", 0},
      {"zip", "PK\3\4", 0},
      {"cursor", std::string("\0\0\2\0\1\0\x10\x10\0\0", 10), 0},
      {"icon with no images", std::string("\0\0\1\0\0\0", 6), 0},
      {"GIF88a", "GIF88a", 0},
      {"PNG signature cut short", std::string("\x89PNG\r\n\x1a", 7), 0},
      {"zeros", "", 0},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> head(c.head.begin(), c.head.end());
    head.resize(2000, 0);
    const ULONG_PTR address = reinterpret_cast<ULONG_PTR>(head.data());
    EXPECT_EQ(ifwic_.is_supported("any.name", address), c.expected) << c.what << " in memory";

    // A handle is read from wherever the host left it.
    const std::string path = folder_.Write("probe", "JUNK" + c.head);
    unique_file file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    SetFilePointer(file.get(), 4, nullptr, FILE_BEGIN);
    EXPECT_EQ(ifwic_.is_supported(nullptr, reinterpret_cast<ULONG_PTR>(file.get())), c.expected)
        << c.what << " by handle";
  }
}

TEST_F(WicDecoder, DescribesAPicture) {
  const std::string path = folder_.Write("a.png", EncodePng(kWidth, kHeight, false, TestPattern));
  PictureInfo info;
  std::memset(&info, 0x55, sizeof(info));
  ASSERT_EQ(ifwic_.get_picture_info(path.c_str(), 0, 0, &info), 0);
  EXPECT_EQ(info.left, 0);
  EXPECT_EQ(info.top, 0);
  EXPECT_EQ(info.width, kWidth);
  EXPECT_EQ(info.height, kHeight);
  EXPECT_EQ(info.colour_depth, 24);
  ASSERT_NE(info.text, nullptr);
  const std::vector<uint8_t> text = TakeBlock(info.text);
  EXPECT_STREQ(reinterpret_cast<const char*>(text.data()), "PNG 50x7");
}

TEST_F(WicDecoder, DeliversExactBottomUpRowsFromFileAndMemory) {
  const auto png = EncodePng(kWidth, kHeight, false, TestPattern);
  std::vector<uint8_t> prefixed(100 + png.size(), 'x');
  std::copy(png.begin(), png.end(), prefixed.begin() + 100);
  const std::string path = folder_.Write("prefixed.bin", prefixed);

  int32_t result = -99;
  const DibBlocks from_file = ifwic_.DecodeFile(path, 100, &result);
  ASSERT_EQ(result, 0);
  BITMAPINFOHEADER expected = DibHeader(kWidth, kHeight, 24);
  ASSERT_EQ(from_file.info.size(), sizeof(expected));
  expected.biXPelsPerMeter = from_file.header().biXPelsPerMeter;  // the codec's default
  expected.biYPelsPerMeter = from_file.header().biYPelsPerMeter;
  EXPECT_EQ(std::memcmp(from_file.info.data(), &expected, sizeof(expected)), 0);
  EXPECT_EQ(from_file.pixels, DibRows(kWidth, kHeight, 24, TestPattern));

  const DibBlocks from_memory = ifwic_.DecodeMemory(png, &result);
  ASSERT_EQ(result, 0);
  EXPECT_EQ(from_memory.info, from_file.info);
  EXPECT_EQ(from_memory.pixels, from_file.pixels);
}

TEST_F(WicDecoder, KeepsAlphaIn32BitRows) {
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"PNG with alpha", EncodePng(kWidth, kHeight, true, TestPattern)},
      {"icon", IcoWithPng(kWidth, kHeight, EncodePng(kWidth, kHeight, true, TestPattern))},
  };
  for (const auto& c : cases) {
    PictureInfo info = {};
    ASSERT_EQ(ifwic_.get_picture_info(reinterpret_cast<const char*>(c.bytes.data()),
                                      static_cast<int32_t>(c.bytes.size()), 1, &info),
              0)
        << c.what;
    LocalFree(info.text);
    EXPECT_EQ(info.colour_depth, 32) << c.what;
    int32_t result = -99;
    const DibBlocks dib = ifwic_.DecodeMemory(c.bytes, &result);
    ASSERT_EQ(result, 0) << c.what;
    EXPECT_EQ(dib.header().biBitCount, 32) << c.what;
    EXPECT_EQ(dib.header().biSizeImage, static_cast<DWORD>(kWidth * 4 * kHeight)) << c.what;
    EXPECT_EQ(dib.pixels, DibRows(kWidth, kHeight, 32, TestPattern)) << c.what;
  }
}

TEST_F(WicDecoder, RefusesDataItCannotDecode) {
  const auto png = EncodePng(kWidth, kHeight, false, TestPattern);
  std::vector<uint8_t> garbage(png.begin(), png.begin() + 8);
  garbage.resize(300, 0xA5);
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"PNG signature then garbage", garbage},
      {"PNG cut in half", std::vector<uint8_t>(png.begin(), png.begin() + png.size() / 2)},
      {"text", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'}},
  };
  for (const auto& c : cases) {
    PictureInfo info = {};
    int32_t result = ifwic_.get_picture_info(reinterpret_cast<const char*>(c.bytes.data()),
                                             static_cast<int32_t>(c.bytes.size()), 1, &info);
    EXPECT_EQ(result, 2) << c.what;
    EXPECT_EQ(info.text, nullptr) << c.what;

    const DibBlocks dib = ifwic_.DecodeMemory(c.bytes, &result);
    EXPECT_EQ(result, 2) << c.what;
    EXPECT_TRUE(dib.info.empty() && dib.pixels.empty()) << c.what;
    const std::string path = folder_.Write("bad.png", c.bytes);
    ifwic_.DecodeFile(path, 0, &result);
    EXPECT_EQ(result, 2) << c.what << " from a file";
  }

  int32_t result = -99;
  ifwic_.DecodeMemory({}, &result);
  EXPECT_EQ(result, 2) << "no data";
  const std::string path = folder_.Write("a.png", png);
  ifwic_.DecodeFile(path, static_cast<int32_t>(png.size()), &result);
  EXPECT_EQ(result, 2) << "offset at the end";
  ifwic_.DecodeFile(folder_.Join("missing.png"), 0, &result);
  EXPECT_EQ(result, 6) << "missing file";
}

struct ProgressLog {
  std::vector<std::pair<int, int>> calls;
  int abort_at = -1;  // the call that answers "abort"

  static int __stdcall Callback(int number, int denominator, LONG_PTR user) {
    auto* log = reinterpret_cast<ProgressLog*>(static_cast<intptr_t>(user));
    log->calls.emplace_back(number, denominator);
    return static_cast<int>(log->calls.size()) - 1 == log->abort_at;
  }
  LONG_PTR user() { return static_cast<int32_t>(reinterpret_cast<intptr_t>(this)); }
};

TEST_F(WicDecoder, ReportsProgressAndStopsWhenAskedTo) {
  // Large enough that leaked pixel blocks would stand out.
  const auto png = EncodePng(512, 512, false, TestPattern);
  const char* data = reinterpret_cast<const char*>(png.data());
  const int32_t size = static_cast<int32_t>(png.size());

  ProgressLog log;
  HLOCAL info = nullptr;
  HLOCAL pixels = nullptr;
  ASSERT_EQ(ifwic_.get_picture(data, size, 1, &info, &pixels, &ProgressLog::Callback, log.user()),
            0);
  TakeBlock(info);
  TakeBlock(pixels);
  EXPECT_EQ(log.calls, (std::vector<std::pair<int, int>>{{0, 1}, {1, 1}}));

  const size_t in_use = HeapBytesInUse();
  for (int abort_at : {0, 1}) {
    for (int round = 0; round < 4; ++round) {
      ProgressLog aborting;
      aborting.abort_at = abort_at;
      info = pixels = reinterpret_cast<HLOCAL>(1);
      EXPECT_EQ(ifwic_.get_picture(data, size, 1, &info, &pixels, &ProgressLog::Callback,
                                   aborting.user()),
                1)
          << "abort at call " << abort_at;
      EXPECT_EQ(aborting.calls.size(), static_cast<size_t>(abort_at + 1));
      EXPECT_EQ(info, nullptr);
      EXPECT_EQ(pixels, nullptr);
    }
  }
  // Eight leaked pixel blocks would be 6 MB.
  EXPECT_LT(HeapBytesInUse(), in_use + 512 * 1024);
}

}  // namespace
}  // namespace tavok::testing
