// The exports through which the host identifies the plug-in and probes files.
// Nothing here may throw or crash the host: every path returns a result.
#include <windows.h>

#include "container/cache_container.h"
#include "host/exports.h"
#include "host/picture_input.h"
#include "host/plugin_info.h"
#include "host/susie.h"

using namespace tavok;

extern "C" int32_t __stdcall GetPluginInfo(int32_t number, char* buffer, int32_t length) {
  return CopyPluginInfo(number, buffer, length);
}

extern "C" int32_t __stdcall IsSupported(const char* name, uint32_t source) {
  uint8_t buffer[kHeadSize];
  bool full = false;
  const uint8_t* head = LoadProbeHead(source, buffer, &full);
  if (head == nullptr) return 0;
  return HeadShowsContainer(name, head, kHeadSize, full) ? 1 : 0;
}

extern "C" int32_t __stdcall GetPreview(const char*, int32_t, uint32_t, HLOCAL*, HLOCAL*,
                                        ProgressCallback, int32_t) {
  return kNotProvided;
}
