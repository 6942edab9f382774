// The event log that the fixture decoders append to (see
// tests/fixtures/fixture_decoder.cpp), in a scratch folder of the test's own.
#pragma once

#include <string>
#include <vector>

#include "test_files.h"

namespace tavok::testing {

class FixtureLog {
 public:
  // Points TAVOK_FIXTURE_LOG at a new, empty log for this process.
  FixtureLog();
  ~FixtureLog();
  FixtureLog(const FixtureLog&) = delete;
  FixtureLog& operator=(const FixtureLog&) = delete;

  std::vector<std::string> Lines() const;
  // Only the lines that start with one of the given words after the fixture
  // name (for example "attach", "detach", "IsSupported").
  std::vector<std::string> Events(const std::vector<std::string>& kinds) const;
  void Clear() const;
  const std::string& path() const { return path_; }

 private:
  ScratchFolder folder_;
  std::string path_;
};

// The full path of a fixture decoder built next to the test program.
std::string FixturePath(const std::string& name);

// Whether a module of that file name is loaded in this process.
bool IsModuleLoaded(const std::string& name);

}  // namespace tavok::testing
