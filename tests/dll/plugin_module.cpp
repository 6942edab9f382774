#include "plugin_module.h"

#include <stdexcept>

#include "../support/test_files.h"

namespace tavok::testing {

std::string BuiltPluginPath() {
  return ProgramFolder() + "\\" + kOwnFileName;
}

PluginModule::PluginModule(const std::string& path) {
  const std::string full = path.empty() ? BuiltPluginPath() : path;
  module_.reset(LoadLibraryA(full.c_str()));
  if (!module_) {
    throw std::runtime_error("LoadLibraryA failed for " + full + ": " +
                             std::to_string(GetLastError()));
  }
}

FARPROC PluginModule::Export(const char* name) const {
  FARPROC proc = GetProcAddress(module_.get(), name);
  if (proc == nullptr) throw std::runtime_error(std::string("missing export ") + name);
  return proc;
}

}  // namespace tavok::testing
