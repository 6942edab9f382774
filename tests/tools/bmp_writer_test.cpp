// The .bmp layout that spi-render reads from a plug-in's blocks.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "spi-render/bmp_writer.h"

namespace tavok::render {
namespace {

BITMAPINFOHEADER Header(LONG height, WORD bit_count, DWORD compression = BI_RGB, DWORD colours = 0,
                        DWORD header_size = sizeof(BITMAPINFOHEADER)) {
  BITMAPINFOHEADER header = {};
  header.biSize = header_size;
  header.biWidth = 50;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = bit_count;
  header.biCompression = compression;
  header.biClrUsed = colours;
  return header;
}

TEST(PlanBmp, TakesHeaderColourTableAndRowsAsTheHeaderDescribes) {
  BITMAPINFOHEADER rle = Header(7, 8, BI_RLE8);
  rle.biSizeImage = 100;
  BITMAPINFOHEADER rle_without_size = rle;
  rle_without_size.biSizeImage = 0;
  const struct {
    const char* what;
    BITMAPINFOHEADER header;
    size_t info_block;
    size_t pixel_block;
    bool ok;
    uint32_t info_size;
    uint32_t pixel_size;
  } cases[] = {
      {"24-bit, rows padded", Header(7, 24), 40, 1064, true, 40, 1064},
      {"top-down", Header(-7, 24), 40, 1064, true, 40, 1064},
      {"blocks larger than needed", Header(7, 24), 64, 2000, true, 40, 1064},
      {"32-bit", Header(7, 32), 40, 1400, true, 40, 1400},
      {"8-bit, full palette", Header(7, 8), 1064, 364, true, 1064, 364},
      {"8-bit, 16 colours used", Header(7, 8, BI_RGB, 16), 104, 364, true, 104, 364},
      {"4-bit", Header(7, 4), 104, 196, true, 104, 196},
      {"1-bit", Header(7, 1), 48, 56, true, 48, 56},
      {"16-bit masks after the header", Header(7, 16, BI_BITFIELDS), 52, 700, true, 52, 700},
      {"masks inside a V5 header", Header(7, 32, BI_BITFIELDS, 0, 124), 124, 1400, true, 124, 1400},
      {"RLE says its size", rle, 1064, 100, true, 1064, 100},
      {"info block too small for the header", Header(7, 24), 39, 1064, false, 0, 0},
      {"palette beyond the info block", Header(7, 8), 1063, 364, false, 0, 0},
      {"pixel block one byte short", Header(7, 24), 40, 1063, false, 0, 0},
      {"huge colour count", Header(7, 24, BI_RGB, 0xFFFFFFFFu), 40, 1064, false, 0, 0},
      {"no height", Header(0, 24), 40, 1064, false, 0, 0},
      {"core header", Header(7, 24, BI_RGB, 0, 12), 40, 1064, false, 0, 0},
      {"RLE without its size", rle_without_size, 1064, 100, false, 0, 0},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> info(c.info_block > sizeof(c.header) ? c.info_block : sizeof(c.header));
    std::memcpy(info.data(), &c.header, sizeof(c.header));
    BmpLayout layout;
    ASSERT_EQ(PlanBmp(info.data(), c.info_block, c.pixel_block, &layout), c.ok) << c.what;
    if (!c.ok) continue;
    EXPECT_EQ(layout.info_size, c.info_size) << c.what;
    EXPECT_EQ(layout.pixel_size, c.pixel_size) << c.what;
  }
}

}  // namespace
}  // namespace tavok::render
