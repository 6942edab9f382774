#include "test_files.h"

#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <stdexcept>

namespace tavok::testing {
namespace {

// In UTF-16: tests make files that the ANSI code page cannot name.
void RemoveTree(const std::wstring& path) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = path + L"\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  RemoveDirectoryW(path.c_str());
}

}  // namespace

std::string ProgramFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder = path;
  return folder.substr(0, folder.find_last_of('\\'));
}

std::string Narrow(const std::wstring& text) {
  std::string narrow(text.size() * 2 + 1, '\0');
  narrow.resize(
      static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &narrow[0],
                                              static_cast<int>(narrow.size()), nullptr, nullptr)) -
      1);
  return narrow;
}

std::wstring Widen(const std::string& text) {
  std::wstring wide(text.size() + 1, L'\0');
  wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0],
                                                      static_cast<int>(wide.size()))) -
              1);
  return wide;
}

ScratchFolder::ScratchFolder() {
  static std::atomic<int> counter{0};
  path_ = ProgramFolder() + "\\scratch-" + std::to_string(GetCurrentProcessId()) + "-" +
          std::to_string(counter++);
  RemoveTree(Widen(path_));
  if (!CreateDirectoryA(path_.c_str(), nullptr)) {
    throw std::runtime_error("cannot create " + path_);
  }
}

ScratchFolder::~ScratchFolder() {
  RemoveTree(Widen(path_));
}

std::string ScratchFolder::Join(const std::string& name) const {
  return path_ + "\\" + name;
}

std::string ScratchFolder::Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
  const std::string full = Join(name);
  WriteBytes(full, bytes.data(), bytes.size());
  return full;
}

std::string ScratchFolder::Write(const std::string& name, const std::string& bytes) const {
  const std::string full = Join(name);
  WriteBytes(full, bytes.data(), bytes.size());
  return full;
}

std::string ScratchFolder::MakeFolder(const std::string& name) const {
  const std::string full = Join(name);
  if (!CreateDirectoryA(full.c_str(), nullptr)) throw std::runtime_error("cannot create " + full);
  return full;
}

void WriteBytes(const std::string& path, const void* data, size_t size) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot write " + path);
  DWORD written = 0;
  const BOOL ok = size == 0 || WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
  CloseHandle(file);
  if (!ok || written != size) throw std::runtime_error("short write to " + path);
}

void ExtendFile(const std::string& path, int64_t size) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + path);
  LARGE_INTEGER end;
  end.QuadPart = size;
  const BOOL ok = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  CloseHandle(file);
  if (!ok) throw std::runtime_error("cannot extend " + path);
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  // A fixture decoder on another thread may be appending to the file: reading
  // must neither fail on its handle nor make its next open fail.
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot read " + path);
  std::vector<uint8_t> bytes(GetFileSize(file, nullptr));
  DWORD read = 0;
  if (!bytes.empty())
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  bytes.resize(read);
  return bytes;
}

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeout_ms) {
  const ULONGLONG end = GetTickCount64() + timeout_ms;
  while (!condition()) {
    if (GetTickCount64() > end) return false;
    Sleep(20);
  }
  return true;
}

}  // namespace tavok::testing
