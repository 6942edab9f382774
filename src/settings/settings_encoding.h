// tavok.ini in whatever encoding it has, read into memory as UTF-16 and
// written back in that encoding: no temporary copy of it is made anywhere, so
// none can be left behind or fail for want of a temporary folder.
#pragma once

#include <windows.h>

#include <string_view>

#include "container/text_encoding.h"
#include "host/handles.h"

namespace tavok {

class SettingsText {
 public:
  enum Status {
    kMissing,     // there is no such file: no text
    kRead,        // the whole file, in its own encoding
    kUnreadable,  // it exists and cannot be read whole in its own encoding
  };
  // Leaves no text unless the file is read.
  Status Read(const wchar_t* path);
  std::wstring_view text() const { return {static_cast<const wchar_t*>(units_.get()), length_}; }
  // The ANSI code page for a file that does not exist.
  TextEncoding encoding() const { return encoding_; }

 private:
  Status ReadWhole(const wchar_t* path);

  unique_hlocal units_;
  size_t length_ = 0;
  TextEncoding encoding_ = TextEncoding::kAnsi;
};

// Writes text in encoding into a file of its own beside path, named uniquely
// so that two saves at once never write into one file, and moves it over
// path in one step. False, with the file at path as it was and nothing left
// beside it, when any step fails.
bool ReplaceSettingsFile(const wchar_t* path, std::wstring_view text, TextEncoding encoding);

}  // namespace tavok
