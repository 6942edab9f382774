// The placeholder picture: what the host gets when no decoder takes a payload,
// a 24-bit picture of the shell's icon for the payload's file extension.
#pragma once

#include <windows.h>

#include <cstdint>

#include "host/susie.h"
#include "placeholder/placeholder_layout.h"

namespace tavok {

struct PlaceholderSize {
  int32_t width;
  int32_t height;
};

// The size in force: 48 × 48 until SetPlaceholderSize changes it.
PlaceholderSize GetPlaceholderSize();

// Sets the size, each side through AcceptedPlaceholderSide.
void SetPlaceholderSize(int32_t width, int32_t height);

// left, top 0; the placeholder's width and height; densities 0; depth 24; no
// text information.
void BuildPlaceholderInfo(PictureInfo* info);

// Allocates the 40-byte bitmap header and the pixel block (movable, zero-filled
// local-heap blocks handed to the caller through the two outputs) and draws the
// shell's icon for the extension of name into them, stretched to the size.
// Returns kSuccess; kAborted when progress answers non-zero, either before
// anything is allocated (outputs untouched) or after the picture is done
// (its blocks freed, outputs null); kOutOfMemory when an allocation fails (outputs null, or
// bitmap_info null and bitmap_bits untouched when the first one fails). A
// missing icon or drawing surface leaves the picture black.
ResultCode RenderPlaceholderPicture(const char* name, HLOCAL* bitmap_info, HLOCAL* bitmap_bits,
                                    ProgressCallback progress, LONG_PTR user);

}  // namespace tavok
