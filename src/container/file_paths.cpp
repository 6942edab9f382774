#include "container/file_paths.h"

namespace tavok {
namespace {

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

bool IsDriveLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

bool IsFullPath(const char* path) {
  if (IsSeparator(path[0])) return IsSeparator(path[1]);
  return IsDriveLetter(path[0]) && path[1] == ':' && IsSeparator(path[2]);
}

}  // namespace tavok
