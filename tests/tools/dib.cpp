#include "dib.h"

#include <gtest/gtest.h>

#include <cstring>

#include "../support/test_files.h"

namespace tavok::testing {
namespace {

DibBlocks TakeBlocks(HLOCAL info, HLOCAL pixels) {
  DibBlocks blocks;
  if (info != nullptr) blocks.info = TakeBlock(info);
  if (pixels != nullptr) blocks.pixels = TakeBlock(pixels);
  return blocks;
}

}  // namespace

Bgra TestPattern(int x, int y) {
  return {static_cast<uint8_t>(x * 5), static_cast<uint8_t>(y * 30 + 1),
          static_cast<uint8_t>((x + y) * 3 + 2), static_cast<uint8_t>(255 - x * 4)};
}

std::vector<uint8_t> DibRows(int width, int height, int bit_count, const PixelFn& pixel) {
  const int bytes_per_pixel = bit_count / 8;
  const int stride = (width * bytes_per_pixel + 3) / 4 * 4;
  std::vector<uint8_t> rows(static_cast<size_t>(stride) * height, 0);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = rows.data() + static_cast<size_t>(height - 1 - y) * stride;
    for (int x = 0; x < width; ++x) {
      const Bgra p = pixel(x, y);
      const uint8_t bytes[] = {p.b, p.g, p.r, p.a};
      std::memcpy(row + x * bytes_per_pixel, bytes, bytes_per_pixel);
    }
  }
  return rows;
}

BITMAPINFOHEADER DibHeader(int width, int height, int bit_count) {
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof(header);
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = static_cast<WORD>(bit_count);
  header.biCompression = BI_RGB;
  header.biSizeImage = static_cast<DWORD>((width * bit_count / 8 + 3) / 4 * 4 * height);
  return header;
}

std::vector<uint8_t> TakeBlock(HLOCAL block) {
  std::vector<uint8_t> bytes;
  const void* data = LocalLock(block);
  EXPECT_NE(data, block) << "a movable block's handle is not its address";
  if (data != nullptr) {
    bytes.assign(static_cast<const uint8_t*>(data),
                 static_cast<const uint8_t*>(data) + LocalSize(block));
    LocalUnlock(block);
  }
  EXPECT_EQ(LocalFree(block), nullptr);
  return bytes;
}

DibBlocks Ifwic::DecodeFile(const std::string& path, int32_t offset, int32_t* result) const {
  HLOCAL info = nullptr;
  HLOCAL pixels = nullptr;
  *result = get_picture(path.c_str(), offset, 0, &info, &pixels, nullptr, 0);
  return TakeBlocks(info, pixels);
}

DibBlocks Ifwic::DecodeMemory(const std::vector<uint8_t>& bytes, int32_t* result) const {
  HLOCAL info = nullptr;
  HLOCAL pixels = nullptr;
  *result = get_picture(reinterpret_cast<const char*>(bytes.data()),
                        static_cast<int32_t>(bytes.size()), 1, &info, &pixels, nullptr, 0);
  return TakeBlocks(info, pixels);
}

}  // namespace tavok::testing
