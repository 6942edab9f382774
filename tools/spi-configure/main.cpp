// spi-configure: opens a Susie plug-in's configuration the way a viewer's
// plug-in settings do.
//
//   spi-configure PLUGIN.spi [FUNCTION]
//
// Calls the plug-in's ConfigurationDlg without an owner window, with FUNCTION
// (1, the settings dialog, unless given; 0 asks for the About box), and
// prints what it returned once the dialog has closed.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "host/handles.h"
#include "host/susie.h"

namespace {

enum Exit : int {
  kExitOk = 0,
  kExitUsage = 64,
  kExitCannotLoad = 65,
  kExitMissingExport = 66,
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fputs("usage: spi-configure PLUGIN.spi [FUNCTION]\n", stderr);
    return kExitUsage;
  }
  const tavok::unique_hmodule plugin(LoadLibraryA(argv[1]));
  if (!plugin) {
    std::fprintf(stderr, "spi-configure: cannot load %s\n", argv[1]);
    return kExitCannotLoad;
  }
  const auto configure =
      tavok::FindExport<tavok::ConfigurationDlgFn>(plugin.get(), "ConfigurationDlg");
  if (configure == nullptr) {
    std::fprintf(stderr, "spi-configure: %s has no ConfigurationDlg\n", argv[1]);
    return kExitMissingExport;
  }
  const int32_t function = argc == 3 ? std::atoi(argv[2]) : 1;
  const int32_t result = configure(nullptr, function);
  std::printf("ConfigurationDlg(%d) returned %d\n", static_cast<int>(function),
              static_cast<int>(result));
  return kExitOk;
}
