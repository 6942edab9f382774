// load-plugin: loads a Susie plug-in, asks its version and releases it, as a
// host that lists its plug-ins does, then prints the process's private bytes.
// Timed as a whole process, it shows what loading the plug-in costs a host.
//
//   load-plugin PLUGIN
#include <windows.h>
#include <psapi.h>

#include <cstdio>

#include "host/handles.h"
#include "host/susie.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: load-plugin PLUGIN\n", stderr);
    return 64;
  }
  {
    const tavok::unique_hmodule plugin(LoadLibraryA(argv[1]));
    const auto info = tavok::FindExport<tavok::GetPluginInfoFn>(plugin.get(), "GetPluginInfo");
    if (info == nullptr) {
      std::fprintf(stderr, "load-plugin: cannot load %s\n", argv[1]);
      return 65;
    }
    char version[8] = {};
    info(0, version, sizeof(version) - 1);
  }
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof(counters);
  K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
  std::printf("%zu\n", static_cast<size_t>(counters.PagefileUsage));
  return 0;
}
