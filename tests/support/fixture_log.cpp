#include "fixture_log.h"

#include <windows.h>

#include <sstream>

namespace tavok::testing {

FixtureLog::FixtureLog() : path_(folder_.Join("events.log")) {
  SetEnvironmentVariableA("TAVOK_FIXTURE_LOG", path_.c_str());
}

FixtureLog::~FixtureLog() {
  SetEnvironmentVariableA("TAVOK_FIXTURE_LOG", nullptr);
}

std::vector<std::string> FixtureLog::Lines() const {
  if (!FileExists(path_)) return {};
  const std::vector<uint8_t> bytes = ReadBytes(path_);
  std::istringstream text(std::string(bytes.begin(), bytes.end()));
  std::vector<std::string> lines;
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> FixtureLog::Events(const std::vector<std::string>& kinds) const {
  std::vector<std::string> events;
  for (const std::string& line : Lines()) {
    const size_t space = line.find(' ');
    const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
    for (const std::string& kind : kinds) {
      if (rest.compare(0, kind.size(), kind) == 0) {
        events.push_back(line);
        break;
      }
    }
  }
  return events;
}

void FixtureLog::Clear() const {
  DeleteFileA(path_.c_str());
}

std::string FixturePath(const std::string& name) {
  return ProgramFolder() + "\\" + name + ".spi";
}

bool IsModuleLoaded(const std::string& name) {
  return GetModuleHandleA(name.c_str()) != nullptr;
}

}  // namespace tavok::testing
