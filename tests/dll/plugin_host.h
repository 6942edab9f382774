// tavok.spi as a viewer has it: copied into a plug-in folder next to fixture
// decoders that its tavok.ini lists, loaded, with its exports at hand; and the
// checks that requests through it leave nothing behind.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "plugin_module.h"
#include "support/plugin_folder.h"
#include "support/process_usage.h"

namespace tavok::testing {

class PluginHost {
 public:
  // Copies each fixture in as <fixture>.spi, lists them in this order in
  // tavok.ini followed by extra_ini, copies tavok.spi in, loads it, and makes
  // the first request, which registers the listed decoders.
  PluginHost(const PluginFolder& folder, const std::vector<std::string>& fixtures,
             const std::string& extra_ini = "");
  PluginHost(const PluginHost&) = delete;
  PluginHost& operator=(const PluginHost&) = delete;

  HMODULE handle() const { return module_.handle(); }
  IsSupportedFn is_supported() const { return module_.Get<IsSupportedFn>("IsSupported"); }
  GetPictureInfoFn get_picture_info() const {
    return module_.Get<GetPictureInfoFn>("GetPictureInfo");
  }
  GetPictureFn get_picture() const { return module_.Get<GetPictureFn>("GetPicture"); }

 private:
  PluginModule module_;
};

// A picture request on no cache file at all, as a viewer's first call.
void MakeFirstRequest(const PluginModule& module);

// The text in a movable block, read no further than the block; "(null)" for
// no block.
std::string TextOf(HLOCAL block);

}  // namespace tavok::testing
