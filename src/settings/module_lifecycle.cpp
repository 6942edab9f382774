#include "settings/module_lifecycle.h"

#include "decoders/decoder_table.h"
#include "host/platform_lead_bytes.h"
#include "settings/settings_file.h"

namespace tavok {
namespace {
HINSTANCE g_module = nullptr;
}  // namespace

HINSTANCE ModuleHandle() {
  return g_module;
}

void AttachModule(HINSTANCE instance) {
  g_module = instance;
  UsePlatformLeadBytes();
  LoadSettings();
}

void DetachModule() {
  UnloadAllDecoders();
}

}  // namespace tavok

// Loading the module never fails, whatever the settings file holds. Thread
// notifications change nothing.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) tavok::AttachModule(instance);
  if (reason == DLL_PROCESS_DETACH) tavok::DetachModule();
  return TRUE;
}
