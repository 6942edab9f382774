// floor-plugin: a plug-in that does nothing, of about the stripped tavok's
// size and with its imports (kernel32 and msvcrt), linked as tavok is. A host
// that loads and frees a plug-in for every file pays its load: the bench
// adds it to the decoder's own time, as the least a plug-in in front of the
// decoder could cost.
#include <windows.h>

#include <cstdint>
#include <cstring>

namespace {

// Mapped and relocated as tavok's code and data are, so that loading it
// costs what loading a module of that size costs.
constexpr size_t kPadding = 80 * 1024;
struct Padding {
  unsigned char bytes[kPadding];
};
constexpr Padding MakePadding() {
  Padding padding = {};
  for (size_t i = 0; i < kPadding; ++i) padding.bytes[i] = static_cast<unsigned char>(i * 31 + 7);
  return padding;
}
constexpr Padding kContents = MakePadding();

}  // namespace

extern "C" __declspec(dllexport) int32_t
    __stdcall GetPluginInfo(int32_t number, char* buffer, int32_t length) {
  if (number != 0 || length < 5) return 0;
  std::memcpy(buffer, "00IN", 5);
  // A read the compiler cannot leave out keeps the padding in the image.
  const volatile unsigned char* contents = kContents.bytes;
  return 4 + (contents[static_cast<size_t>(length) % kPadding] & 0);
}

extern "C" __declspec(dllexport) int32_t __stdcall IsSupported(const char*, ULONG_PTR) {
  return 0;
}
