// The arithmetic and text rules of the placeholder picture that need no
// Windows: the accepted size, the row layout, the 40-byte bitmap header and the
// extension whose shell icon is drawn. Pure code, so that it also builds
// natively and runs under the sanitizers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavok {

constexpr int32_t kDefaultPlaceholderSide = 48;
constexpr int32_t kMaxPlaceholderSide = 4096;
// A dot and at most 8 bytes after it, and the terminator.
constexpr size_t kPlaceholderExtensionCapacity = 10;

// A width or height outside 1..4096 becomes 48. Unchecked, the 16-bit count of
// words per row wraps from width 87381 on (and row bytes × height overflows 32
// bits for large sides), so that the header would describe more pixels than
// the block holds; below 1 the allocation would be empty or negative.
int32_t AcceptedPlaceholderSide(int32_t side);

// Bytes per row of a 24-bit picture: 4 × ((24 × width + 31) / 32), the count of
// 32-bit words being held as a 16-bit unsigned value, as hosts expect.
uint32_t PlaceholderRowBytes(int32_t width);

// Row bytes × height. width and height are 1..4096.
uint32_t PlaceholderImageSize(int32_t width, int32_t height);

// The extension whose icon is drawn: from the last dot of name (double-byte
// aware), dot included, cut to 9 bytes; ".z_z" when name has no dot, is empty
// or is null.
void PlaceholderExtension(const char* name, char out[kPlaceholderExtensionCapacity]);

}  // namespace tavok
