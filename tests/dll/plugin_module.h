// The built tavok.spi, loaded as a host loads it, with its exports looked up
// under the exact __stdcall prototypes of the interface.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace tavok::testing {

using GetPluginInfoFn = int32_t(__stdcall*)(int32_t, char*, int32_t);
using IsSupportedFn = int32_t(__stdcall*)(const char*, uint32_t);
using ProgressFn = int(__stdcall*)(int, int, int32_t);
#pragma pack(push, 1)
struct HostPictureInfo {
  int32_t left, top, width, height;
  uint16_t x_density, y_density;
  int16_t colour_depth;
  HLOCAL text;
};
#pragma pack(pop)
static_assert(sizeof(HostPictureInfo) == 26, "the interface's packed record");

using GetPictureInfoFn = int32_t(__stdcall*)(const char*, int32_t, uint32_t, HostPictureInfo*);
using GetPictureFn = int32_t(__stdcall*)(const char*, int32_t, uint32_t, HLOCAL*, HLOCAL*,
                                         int(__stdcall*)(int, int, int32_t), int32_t);
using GetPreviewFn = int32_t(__stdcall*)(const char*, int32_t, uint32_t, HLOCAL*, HLOCAL*,
                                         ProgressFn, int32_t);

class PluginModule {
 public:
  // Loads path, or the tavok.spi next to the test program.
  explicit PluginModule(const std::string& path = "");
  ~PluginModule();
  PluginModule(const PluginModule&) = delete;
  PluginModule& operator=(const PluginModule&) = delete;

  HMODULE handle() const { return module_; }
  FARPROC Export(const char* name) const;
  template <typename Fn>
  Fn Get(const char* name) const {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(Export(name)));
  }

 private:
  HMODULE module_ = nullptr;
};

std::string BuiltPluginPath();

}  // namespace tavok::testing
