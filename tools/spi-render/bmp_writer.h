// Writes the two blocks that GetPicture returns as a .bmp file.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace tavok::render {

// How many bytes of each block make up the picture.
struct BmpLayout {
  uint32_t info_size = 0;   // bitmap header and colour table or masks
  uint32_t pixel_size = 0;  // pixel rows
};

// Reads the bitmap header at the start of the info block and works out the
// layout it describes. False when the header is unusable or either block is
// smaller than the header says; blocks may be larger (allocators round up).
bool PlanBmp(const void* info, size_t info_block_size, size_t pixel_block_size, BmpLayout* layout);

// Writes a file header, then the info and pixel bytes of layout.
bool WriteBmp(const wchar_t* path, const void* info, const void* pixels, const BmpLayout& layout);

}  // namespace tavok::render
