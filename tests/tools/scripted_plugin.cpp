// A Susie plug-in for testing hosts: its picture entry points answer what the
// test asks through environment variables, so that every result a host can
// meet is at hand.
//   TAVOK_SCRIPTED_INFO     result code of GetPictureInfo (default 0)
//   TAVOK_SCRIPTED_PICTURE  result code of GetPicture (default 0)
//   TAVOK_SCRIPTED_PIXELS   size of the pixel block of the 2 x 2 24-bit
//                           picture delivered on success (default 16, exact)
//   TAVOK_SCRIPTED_SLOW     when set, GetPicture reports ten steps of
//                           progress over about 600 ms
// It accepts every file.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "host/plugin_info.h"
#include "host/susie.h"

using namespace tavok;

namespace {

int EnvInt(const char* name, int fallback) {
  char value[32];
  const DWORD length = GetEnvironmentVariableA(name, value, sizeof(value));
  return length > 0 && length < sizeof(value) ? std::atoi(value) : fallback;
}

HLOCAL MovableCopy(const void* data, size_t size, size_t block_size) {
  HLOCAL block = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, block_size);
  if (void* target = LocalLock(block)) {
    std::memcpy(target, data, size < block_size ? size : block_size);
    LocalUnlock(block);
  }
  return block;
}

}  // namespace

extern "C" {

int32_t __stdcall GetPluginInfo(int32_t number, char* buffer, int32_t length) {
  const char* const info[] = {"00IN", "scripted test plug-in", "*.*", "anything"};
  return CopyInfoText(number >= 0 && number < 4 ? info[number] : nullptr, buffer, length);
}

int32_t __stdcall IsSupported(const char*, ULONG_PTR) {
  return 1;
}

int32_t __stdcall GetPictureInfo(const char*, LONG_PTR, uint32_t, PictureInfo* info) {
  const int32_t result = EnvInt("TAVOK_SCRIPTED_INFO", kSuccess);
  if (result != kSuccess) return result;
  *info = PictureInfo{};
  info->width = 2;
  info->height = 2;
  info->colour_depth = 24;
  info->text = MovableCopy("scripted", 9, 9);
  return kSuccess;
}

int32_t __stdcall GetPicture(const char*, LONG_PTR, uint32_t, HLOCAL* info, HLOCAL* bits,
                             ProgressCallback progress, LONG_PTR user) {
  if (EnvInt("TAVOK_SCRIPTED_SLOW", 0)) {
    for (int step = 0; step <= 10; ++step) {
      if (progress(step, 10, user)) return kAborted;
      Sleep(60);
    }
  }
  const int32_t result = EnvInt("TAVOK_SCRIPTED_PICTURE", kSuccess);
  if (result != kSuccess) return result;
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof(header);
  header.biWidth = 2;
  header.biHeight = 2;
  header.biPlanes = 1;
  header.biBitCount = 24;
  const uint8_t pixels[16] = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
  *info = MovableCopy(&header, sizeof(header), sizeof(header));
  *bits = MovableCopy(pixels, sizeof(pixels), EnvInt("TAVOK_SCRIPTED_PIXELS", sizeof(pixels)));
  return kSuccess;
}

}  // extern "C"
