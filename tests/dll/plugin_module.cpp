#include "plugin_module.h"

#include <stdexcept>

#include "../support/test_files.h"

namespace tavok::testing {

std::string BuiltPluginPath() {
  return ProgramFolder() + "\\tavok.spi";
}

PluginModule::PluginModule(const std::string& path) {
  const std::string full = path.empty() ? BuiltPluginPath() : path;
  module_ = LoadLibraryA(full.c_str());
  if (module_ == nullptr) {
    throw std::runtime_error("LoadLibraryA failed for " + full + ": " +
                             std::to_string(GetLastError()));
  }
}

PluginModule::~PluginModule() {
  FreeLibrary(module_);
}

FARPROC PluginModule::Export(const char* name) const {
  FARPROC proc = GetProcAddress(module_, name);
  if (proc == nullptr) throw std::runtime_error(std::string("missing export ") + name);
  return proc;
}

}  // namespace tavok::testing
