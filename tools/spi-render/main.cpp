// spi-render: a console host for Susie import plug-ins. It loads the plug-in
// named on its command line and shows what the plug-in answers for a file.
//
//   spi-render PLUGIN.spi            the plug-in's information strings
//   spi-render PLUGIN.spi FILE       ... and whether it supports FILE
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

using GetPluginInfoFn = int32_t(__stdcall*)(int32_t, char*, int32_t);
using IsSupportedFn = int32_t(__stdcall*)(const char*, uint32_t);

// Exit codes: distinct for each way the plug-in can fail the host.
// Exports are found as FARPROC and called through their real prototypes.
template <typename Fn>
Fn Lookup(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

enum Exit : int {
  kExitOk = 0,
  kExitUsage = 64,
  kExitCannotLoad = 65,
  kExitMissingExport = 66,
  kExitCannotOpen = 67,
  kExitNotSupported = 68,
};

void PrintPluginInfo(GetPluginInfoFn get_plugin_info) {
  for (int32_t number = 0;; ++number) {
    char text[512];
    const int32_t n = get_plugin_info(number, text, sizeof(text) - 1);
    if (n <= 0) break;
    text[n < static_cast<int32_t>(sizeof(text)) ? n : sizeof(text) - 1] = '\0';
    std::printf("  info %d: %s\n", number, text);
  }
}

int ProbeFile(IsSupportedFn is_supported, const char* path) {
  HANDLE file =
      CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "spi-render: cannot open %s (error %lu)\n", path, GetLastError());
    return kExitCannotOpen;
  }
  // Hosts hand over a 2 KB head, zero-filled past the end of short files.
  static char head[2048];
  std::memset(head, 0, sizeof(head));
  DWORD read = 0;
  ReadFile(file, head, sizeof(head), &read, nullptr);
  const int32_t by_memory =
      is_supported(path, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(head)));
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  const int32_t by_handle =
      is_supported(path, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(file)));
  CloseHandle(file);
  std::printf("IsSupported(%s): head in memory %d, file handle %d\n", path, by_memory, by_handle);
  return (by_memory && by_handle) ? kExitOk : kExitNotSupported;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: spi-render PLUGIN.spi [FILE]\n");
    return kExitUsage;
  }
  HMODULE plugin = LoadLibraryA(argv[1]);
  if (plugin == nullptr) {
    std::fprintf(stderr, "spi-render: cannot load plug-in %s (error %lu)\n", argv[1],
                 GetLastError());
    return kExitCannotLoad;
  }
  auto get_plugin_info = Lookup<GetPluginInfoFn>(plugin, "GetPluginInfo");
  auto is_supported = Lookup<IsSupportedFn>(plugin, "IsSupported");
  if (get_plugin_info == nullptr || is_supported == nullptr) {
    std::fprintf(stderr, "spi-render: %s lacks %s\n", argv[1],
                 get_plugin_info == nullptr ? "GetPluginInfo" : "IsSupported");
    FreeLibrary(plugin);
    return kExitMissingExport;
  }

  std::printf("GetPluginInfo(%s):\n", argv[1]);
  PrintPluginInfo(get_plugin_info);
  const int result = argc > 2 ? ProbeFile(is_supported, argv[2]) : kExitOk;
  FreeLibrary(plugin);
  return result;
}
