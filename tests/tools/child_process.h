// Runs a tool as a child process, as a user at a console would, and keeps
// what it wrote to standard output and standard error.
#pragma once

#include <windows.h>

#include <string>

#include "../support/test_files.h"

namespace tavok::testing {

struct ToolRun {
  DWORD exit_code = 0;
  std::string out;
  std::string err;
};

// Runs ProgramFolder()\program with arguments (already quoted as needed);
// its output goes through files in folder. Fails the test on a hang.
ToolRun RunTool(const std::string& program, const std::string& arguments,
                const ScratchFolder& folder);

// Sets an environment variable, which child processes inherit, for a scope.
class EnvironmentVariable {
 public:
  EnvironmentVariable(const char* name, const char* value);
  ~EnvironmentVariable();
  EnvironmentVariable(const EnvironmentVariable&) = delete;
  EnvironmentVariable& operator=(const EnvironmentVariable&) = delete;

 private:
  const char* name_;
};

}  // namespace tavok::testing
