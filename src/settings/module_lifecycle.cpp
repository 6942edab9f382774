#include "settings/module_lifecycle.h"

#include "host/platform_lead_bytes.h"

namespace tavok {
namespace {
HINSTANCE g_module = nullptr;
}  // namespace

HINSTANCE ModuleHandle() {
  return g_module;
}

}  // namespace tavok

// Loading the module never fails, whatever the machine holds.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    tavok::g_module = instance;
    tavok::UsePlatformLeadBytes();
  }
  return TRUE;
}
