// Expected and actual DIBs for the tool tests: the rows a picture should
// become, and the blocks a decoder returned, copied out and freed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "../dll/plugin_module.h"
#include "../support/test_files.h"
#include "make-samples/png_writer.h"

namespace tavok::testing {

using samples::Bgra;
using samples::EncodePng;
using samples::PixelFn;

// A test picture: every pixel and every channel different from its
// neighbours, alpha included.
Bgra TestPattern(int x, int y);
// A size whose 24-bit rows need two bytes of padding.
constexpr int kWidth = 50;
constexpr int kHeight = 7;

// Pixel rows as a DIB holds them: bottom-up, BGR (24) or BGRA (32), each row
// padded with zeros to a multiple of four bytes.
std::vector<uint8_t> DibRows(int width, int height, int bit_count, const PixelFn& pixel);

// A plain bottom-up BI_RGB header for such rows.
BITMAPINFOHEADER DibHeader(int width, int height, int bit_count);

struct DibBlocks {
  std::vector<uint8_t> info;
  std::vector<uint8_t> pixels;
  const BITMAPINFOHEADER& header() const {
    return *reinterpret_cast<const BITMAPINFOHEADER*>(info.data());
  }
};

// Copies a returned block out and frees it; fails the test if it is not a
// movable block.
std::vector<uint8_t> TakeBlock(HLOCAL block);

// ifwic.spi from the test program's folder, with its picture entry points.
struct Ifwic {
  PluginModule module{ProgramFolder() + "\\" + kIfwicName};
  GetPluginInfoFn get_plugin_info = module.Get<GetPluginInfoFn>("GetPluginInfo");
  IsSupportedFn is_supported = module.Get<IsSupportedFn>("IsSupported");
  GetPictureInfoFn get_picture_info = module.Get<GetPictureInfoFn>("GetPictureInfo");
  GetPictureFn get_picture = module.Get<GetPictureFn>("GetPicture");

  // GetPicture with file input at offset (flag 0) or with the bytes in memory
  // (flag 1); result receives the result code.
  DibBlocks DecodeFile(const std::string& path, int32_t offset, int32_t* result) const;
  DibBlocks DecodeMemory(const std::vector<uint8_t>& bytes, int32_t* result) const;
};

}  // namespace tavok::testing
