#include "placeholder/placeholder_layout.h"

#include "container/mbcs.h"

namespace tavok {

namespace {

void Put16(uint8_t* out, uint16_t value) {
  out[0] = static_cast<uint8_t>(value);
  out[1] = static_cast<uint8_t>(value >> 8);
}

void Put32(uint8_t* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

int32_t AcceptedPlaceholderSide(int32_t side) {
  return side >= 1 && side <= kMaxPlaceholderSide ? side : kDefaultPlaceholderSide;
}

uint32_t PlaceholderRowBytes(int32_t width) {
  const uint16_t words = static_cast<uint16_t>((24 * static_cast<uint32_t>(width) + 31) / 32);
  return 4u * words;
}

uint32_t PlaceholderImageSize(int32_t width, int32_t height) {
  return PlaceholderRowBytes(width) * static_cast<uint32_t>(height);
}

void WritePlaceholderHeader(uint8_t* out, int32_t width, int32_t height) {
  Put32(out + 0, static_cast<uint32_t>(kPlaceholderHeaderSize));
  Put32(out + 4, static_cast<uint32_t>(width));
  Put32(out + 8, static_cast<uint32_t>(height));
  Put16(out + 12, 1);   // planes
  Put16(out + 14, 24);  // bits per pixel
  Put32(out + 16, 0);   // uncompressed RGB
  Put32(out + 20, PlaceholderImageSize(width, height));
  Put32(out + 24, 0);  // horizontal pixels per metre
  Put32(out + 28, 0);  // vertical pixels per metre
  Put32(out + 32, 0);  // colours used
  Put32(out + 36, 0);  // important colours
}

void PlaceholderExtension(const char* name, char out[kPlaceholderExtensionCapacity]) {
  const char* dot = name != nullptr ? FindLastChar(name, '.') : nullptr;
  CopyTruncated(out, kPlaceholderExtensionCapacity, dot != nullptr ? dot : ".z_z");
}

}  // namespace tavok
