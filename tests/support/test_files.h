// Scratch files for tests that run under Wine: a folder of their own next to
// the test program, removed with everything in it at the end of the test.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/susie.h"

namespace tavok::testing {

// The example decoder's file name in this build: ifwic.spi or ifwic.sph.
inline const std::string kIfwicName = std::string("ifwic") + kPluginSuffix;

// The folder that holds the running program (and the built tavok.spi).
std::string ProgramFolder();

// Between UTF-16 and the ANSI code page.
std::string Narrow(const std::wstring& text);
std::wstring Widen(const std::string& text);

class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& path() const { return path_; }
  // path() + "\\" + name
  std::string Join(const std::string& name) const;
  // Writes bytes to path() + "\\" + name and returns the full path.
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const;
  std::string Write(const std::string& name, const std::string& bytes) const;
  std::string MakeFolder(const std::string& name) const;

 private:
  std::string path_;
};

void WriteBytes(const std::string& path, const void* data, size_t size);
// Extends an existing file to size bytes without writing them (zeros, where
// the file system keeps them sparse).
void ExtendFile(const std::string& path, int64_t size);
std::vector<uint8_t> ReadBytes(const std::string& path);
bool FileExists(const std::string& path);

// Polls condition until it holds; false after the timeout.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeout_ms = 20000);

}  // namespace tavok::testing
