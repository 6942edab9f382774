#include "container/file_paths.h"

namespace tavok {
namespace {

template <typename Char>
bool IsSeparator(Char c) {
  return c == '\\' || c == '/';
}

template <typename Char>
bool IsDriveLetter(Char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

template <typename Char>
bool IsFull(const Char* path) {
  if (IsSeparator(path[0])) return IsSeparator(path[1]);
  return IsDriveLetter(path[0]) && path[1] == ':' && IsSeparator(path[2]);
}

}  // namespace

bool IsFullPath(const char* path) {
  return IsFull(path);
}

bool IsFullPath(const wchar_t* path) {
  return IsFull(path);
}

const wchar_t* FileNameOf(const wchar_t* path) {
  const wchar_t* name = path;
  for (const wchar_t* c = path; *c != L'\0'; ++c) {
    if (*c == L'\\') name = c + 1;
  }
  return name;
}

}  // namespace tavok
