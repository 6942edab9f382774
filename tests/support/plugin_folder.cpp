#include "plugin_folder.h"

#include <windows.h>

#include <stdexcept>

#include "fixture_log.h"

namespace tavok::testing {
namespace {

void CopyInto(const std::string& from, const std::string& to) {
  // Create the intermediate folders of `to`.
  for (size_t at = to.find_first_of("\\/", 3); at != std::string::npos;
       at = to.find_first_of("\\/", at + 1)) {
    CreateDirectoryA(to.substr(0, at).c_str(), nullptr);
  }
  if (!CopyFileA(from.c_str(), to.c_str(), FALSE)) {
    throw std::runtime_error("cannot copy " + from + " to " + to);
  }
}

}  // namespace

PluginFolder::PluginFolder(const std::string& name)
    : path_(name.empty() ? scratch_.path() : scratch_.MakeFolder(name)) {}

std::string PluginFolder::AddTavok() const {
  CopyInto(ProgramFolder() + "\\" + kOwnFileName, TavokPath());
  return TavokPath();
}

std::string PluginFolder::AddFixture(const std::string& fixture, const std::string& as) const {
  const std::string target = Join(as);
  CopyInto(FixturePath(fixture), target);
  return target;
}

std::string PluginFolder::AddCopy(const std::string& from, const std::string& as) const {
  CopyInto(from, Join(as));
  return Join(as);
}

void PluginFolder::WriteIni(const std::string& text) const {
  WriteBytes(IniPath(), text.data(), text.size());
}

std::string PluginFolder::ReadIni() const {
  const std::vector<uint8_t> bytes = ReadBytes(IniPath());
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace tavok::testing
