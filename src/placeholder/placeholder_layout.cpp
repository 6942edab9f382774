#include "placeholder/placeholder_layout.h"

#include <cstdio>

#include "container/mbcs.h"

namespace tavok {

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

void PlaceholderExtension(const char* name, char out[kPlaceholderExtensionCapacity]) {
  const char* dot = name != nullptr ? FindLastChar(name, '.') : nullptr;
  std::snprintf(out, kPlaceholderExtensionCapacity, "%s", dot != nullptr ? dot : ".z_z");
}

}  // namespace tavok
