// The records and codes of the Susie import plug-in interface ("00IN").
#pragma once

#include <windows.h>

#include <cstddef>
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
  // The interface's "internal error" too: a request from inside a progress
  // callback for a decoder that another thread holds while it waits for one
  // that this thread holds, which would wait for ever.
  kDecoderBusy = 8,
  kNotProvided = -1,
};

// Packed. The 64-bit interface puts two bytes of padding after the colour
// depth, so that the handle sits at offset 24.
#pragma pack(push, 1)
struct PictureInfo {
  int32_t left;
  int32_t top;
  int32_t width;
  int32_t height;
  uint16_t x_density;
  uint16_t y_density;
  int16_t colour_depth;
#if defined(_WIN64)
  uint8_t padding[2];
#endif
  HLOCAL text;
};
#pragma pack(pop)
#if defined(_WIN64)
static_assert(offsetof(PictureInfo, text) == 24 && sizeof(PictureInfo) == 32,
              "the 64-bit record: handle at 24, 32 bytes");
#else
static_assert(offsetof(PictureInfo, text) == 22 && sizeof(PictureInfo) == 26,
              "the 32-bit record: handle at 22, 26 bytes");
#endif

// The module's own file name: 32-bit plug-ins are .spi, 64-bit ones .sph.
#if defined(_WIN64)
constexpr char kPluginSuffix[] = ".sph";
constexpr char kOwnFileName[] = "tavok.sph";
#else
constexpr char kPluginSuffix[] = ".spi";
constexpr char kOwnFileName[] = "tavok.spi";
#endif

// The host's progress callback; a non-zero answer asks the plug-in to abort.
// Lengths, offsets and the user value are pointer-sized.
using ProgressCallback = int(__stdcall*)(int number, int denominator, LONG_PTR user);

// The entry points' prototypes, for calling a plug-in found at run time.
using GetPluginInfoFn = int32_t(__stdcall*)(int32_t number, char* buffer, int32_t length);
using IsSupportedFn = int32_t(__stdcall*)(const char* name, ULONG_PTR source);
using GetPictureInfoFn = int32_t(__stdcall*)(const char* buffer, LONG_PTR length, uint32_t flag,
                                             PictureInfo* info);
using GetPictureFn = int32_t(__stdcall*)(const char* buffer, LONG_PTR length, uint32_t flag,
                                         HLOCAL* info, HLOCAL* bits, ProgressCallback progress,
                                         LONG_PTR user);
using GetPluginInfoWFn = int32_t(__stdcall*)(int32_t number, wchar_t* buffer, int32_t length);
using IsSupportedWFn = int32_t(__stdcall*)(const wchar_t* name, ULONG_PTR source);
using GetPictureInfoWFn = int32_t(__stdcall*)(const wchar_t* buffer, LONG_PTR length, uint32_t flag,
                                              PictureInfo* info);
using GetPictureWFn = int32_t(__stdcall*)(const wchar_t* buffer, LONG_PTR length, uint32_t flag,
                                          HLOCAL* info, HLOCAL* bits, ProgressCallback progress,
                                          LONG_PTR user);
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
