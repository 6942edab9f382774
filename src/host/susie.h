// The records and codes of the Susie import plug-in interface ("00IN").
#pragma once

#include <windows.h>

#include <cstdint>

namespace tavok {

// Results of the picture entry points.
enum ResultCode : int32_t {
  kSuccess = 0,
  kAborted = 1,
  kUnsupported = 2,
  kOutOfMemory = 4,
  kReadError = 6,
  kMissingEntryPoint = 8,
  kNotProvided = -1,
};

#pragma pack(push, 1)
struct PictureInfo {
  int32_t left;
  int32_t top;
  int32_t width;
  int32_t height;
  uint16_t x_density;
  uint16_t y_density;
  int16_t colour_depth;
  HLOCAL text;
};
#pragma pack(pop)
static_assert(sizeof(PictureInfo) == 26, "PictureInfo is the interface's packed 26-byte record");

// The host's progress callback; a non-zero answer asks the plug-in to abort.
using ProgressCallback = int(__stdcall*)(int number, int denominator, int32_t user);

// The entry points' prototypes, for calling a plug-in found at run time.
using GetPluginInfoFn = int32_t(__stdcall*)(int32_t number, char* buffer, int32_t length);
using IsSupportedFn = int32_t(__stdcall*)(const char* name, uint32_t source);
using GetPictureInfoFn = int32_t(__stdcall*)(const char* buffer, int32_t length, uint32_t flag,
                                             PictureInfo* info);
using GetPictureFn = int32_t(__stdcall*)(const char* buffer, int32_t length, uint32_t flag,
                                         HLOCAL* info, HLOCAL* bits, ProgressCallback progress,
                                         int32_t user);
using ConfigurationDlgFn = int32_t(__stdcall*)(HWND parent, int32_t function);

// A plug-in's export under its real prototype, or nullptr when it lacks it.
template <typename Fn>
Fn FindExport(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Only the low three bits of the host's flag select the input kind.
constexpr uint32_t kInputKindMask = 7;
constexpr uint32_t kFileInput = 0;
constexpr uint32_t kMemoryInput = 1;

// Bytes of a file's head that IsSupported looks at, and the zero slack kept
// after a loaded file so that decoders may read that much from its payload.
constexpr int32_t kHeadSize = 2000;

}  // namespace tavok
