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

extern "C" int32_t __stdcall GetPluginInfoW(int32_t number, wchar_t* buffer, int32_t length) {
  return CopyPluginInfoW(number, buffer, length);
}

namespace {

template <typename Char>
int32_t ProbeFor(const Char* name, ULONG_PTR source,
                 bool (*shows)(const Char*, const uint8_t*, int32_t, bool)) {
  uint8_t buffer[kHeadSize];
  bool full = false;
  const uint8_t* head = LoadProbeHead(source, buffer, &full);
  if (head == nullptr) return 0;
  return shows(name, head, kHeadSize, full) ? 1 : 0;
}

}  // namespace

extern "C" int32_t __stdcall IsSupported(const char* name, ULONG_PTR source) {
  return ProbeFor(name, source, &HeadShowsContainer);
}

extern "C" int32_t __stdcall IsSupportedW(const wchar_t* name, ULONG_PTR source) {
  return ProbeFor(name, source, &HeadShowsContainerW);
}

extern "C" int32_t __stdcall GetPreview(const char*, LONG_PTR, uint32_t, HLOCAL*, HLOCAL*,
                                        ProgressCallback, LONG_PTR) {
  return kNotProvided;
}

extern "C" int32_t __stdcall GetPreviewW(const wchar_t*, LONG_PTR, uint32_t, HLOCAL*, HLOCAL*,
                                         ProgressCallback, LONG_PTR) {
  return kNotProvided;
}
