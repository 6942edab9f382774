// Which texts name a file by its full path, as opposed to one that the
// platform would look for relative to the current folder or drive.
#pragma once

namespace tavok {

// A drive letter, a colon and a separator ("C:\", "C:/"), or a UNC prefix
// ("\\server", "//server").
bool IsFullPath(const char* path);
bool IsFullPath(const wchar_t* path);

// The character after the last backslash of a UTF-16 path, or the path itself
// when it has none: where its file name starts, and its folder ends.
const wchar_t* FileNameOf(const wchar_t* path);

}  // namespace tavok
