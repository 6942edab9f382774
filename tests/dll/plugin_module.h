// The built tavok.spi, loaded as a host loads it, with its exports looked up
// under the exact __stdcall prototypes of the interface.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "host/handles.h"
#include "host/susie.h"

namespace tavok::testing {

using ProgressFn = ProgressCallback;
// GetPreview takes GetPicture's arguments.
using GetPreviewFn = GetPictureFn;
// The record as the host sees it.
using HostPictureInfo = PictureInfo;

class PluginModule {
 public:
  // Loads path, or the tavok.spi next to the test program.
  explicit PluginModule(const std::string& path = "");

  HMODULE handle() const { return module_.get(); }
  FARPROC Export(const char* name) const;
  // The export under its real prototype; throws when the module lacks it.
  template <typename Fn>
  Fn Get(const char* name) const {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(Export(name)));
  }

 private:
  unique_hmodule module_;
};

std::string BuiltPluginPath();

}  // namespace tavok::testing
