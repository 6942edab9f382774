#include "plugin_host.h"

#include <cstring>

namespace tavok::testing {
namespace {

std::string PrepareFolder(const PluginFolder& folder, const std::vector<std::string>& fixtures,
                          const std::string& extra_ini) {
  std::string ini = "[SPI]\r\nCount=" + std::to_string(fixtures.size()) + "\r\n";
  for (size_t i = 0; i < fixtures.size(); ++i) {
    folder.AddFixture(fixtures[i], fixtures[i] + ".spi");
    ini += "Path" + std::to_string(i) + "=" + fixtures[i] + ".spi\r\n";
  }
  folder.WriteIni(ini + extra_ini);
  return folder.AddTavok();
}

}  // namespace

PluginHost::PluginHost(const PluginFolder& folder, const std::vector<std::string>& fixtures,
                       const std::string& extra_ini)
    : module_(PrepareFolder(folder, fixtures, extra_ini)) {}

std::string TextOf(HLOCAL block) {
  if (block == nullptr) return "(null)";
  const char* text = static_cast<const char*>(LocalLock(block));
  std::string copy(text, strnlen(text, LocalSize(block)));
  LocalUnlock(block);
  return copy;
}

size_t BusyHeapBlocks() {
  HANDLE heaps[64];
  const DWORD count = GetProcessHeaps(64, heaps);
  size_t busy = 0;
  for (DWORD i = 0; i < count && i < 64; ++i) {
    HeapLock(heaps[i]);
    PROCESS_HEAP_ENTRY entry = {};
    while (HeapWalk(heaps[i], &entry)) {
      if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) ++busy;
    }
    HeapUnlock(heaps[i]);
  }
  return busy;
}

}  // namespace tavok::testing
