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

void MakeFirstRequest(const PluginModule& module) {
  PictureInfo info = {};
  const char nothing[16] = {};
  module.Get<GetPictureInfoFn>("GetPictureInfo")(nothing, sizeof(nothing), kMemoryInput, &info);
}

PluginHost::PluginHost(const PluginFolder& folder, const std::vector<std::string>& fixtures,
                       const std::string& extra_ini)
    : module_(PrepareFolder(folder, fixtures, extra_ini)) {
  MakeFirstRequest(module_);
}

std::string TextOf(HLOCAL block) {
  if (block == nullptr) return "(null)";
  const char* text = static_cast<const char*>(LocalLock(block));
  std::string copy(text, strnlen(text, LocalSize(block)));
  LocalUnlock(block);
  return copy;
}

}  // namespace tavok::testing
