#include "child_process.h"

#include <gtest/gtest.h>

#include <vector>

#include "host/handles.h"

namespace tavok::testing {
namespace {

using unique_kernel_handle =
    unique_handle<HANDLE, handle_traits::NullInvalid<HANDLE, decltype(&CloseHandle), &CloseHandle>>;

unique_file InheritableFile(const std::string& path) {
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  return unique_file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::string ReadText(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

ToolRun RunTool(const std::string& program, const std::string& arguments,
                const ScratchFolder& folder) {
  ToolRun run;
  const std::string out_path = folder.Join(program + ".out");
  const std::string err_path = folder.Join(program + ".err");
  {
    unique_file out = InheritableFile(out_path);
    unique_file err = InheritableFile(err_path);
    EXPECT_TRUE(out && err);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out.get();
    startup.hStdError = err.get();
    std::string command = "\"" + ProgramFolder() + "\\" + program + "\" " + arguments;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
      ADD_FAILURE() << "cannot start " << command << ": error " << GetLastError();
      return run;
    }
    unique_kernel_handle process_handle(process.hProcess);
    unique_kernel_handle thread_handle(process.hThread);
    if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0) {
      TerminateProcess(process.hProcess, 255);
      ADD_FAILURE() << command << " did not finish";
    }
    GetExitCodeProcess(process.hProcess, &run.exit_code);
  }
  run.out = ReadText(out_path);
  run.err = ReadText(err_path);
  return run;
}

EnvironmentVariable::EnvironmentVariable(const char* name, const char* value) : name_(name) {
  SetEnvironmentVariableA(name, value);
}

EnvironmentVariable::~EnvironmentVariable() {
  SetEnvironmentVariableA(name_, nullptr);
}

}  // namespace tavok::testing
