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
  SetTableLoader(&LoadSettings);
}

void DetachModule(bool process_ending) {
  SetTableLoader(nullptr);
  UnloadAllDecoders(!process_ending);
}

}  // namespace tavok

// Loading the module never fails, whatever the settings file holds. Thread
// notifications change nothing. A detach with a reserved argument comes from
// a process that is ending.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) tavok::AttachModule(instance);
  if (reason == DLL_PROCESS_DETACH) tavok::DetachModule(reserved != nullptr);
  return TRUE;
}
