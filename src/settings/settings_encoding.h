// tavok.ini in whatever encoding it has, read into memory as UTF-16 and
// written back in that encoding: no temporary copy of it is made anywhere, so
// none can be left behind or fail for want of a temporary folder. A save
// writes every line it does not change as the bytes it was read from: not
// every byte sequence of an ANSI code page comes back the same from UTF-16.
#pragma once

#include <windows.h>

#include <string_view>

#include "container/profile_text.h"
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
  // The file's bytes after its mark: line n of text() was read from line n
  // of these.
  const uint8_t* bytes() const { return static_cast<const uint8_t*>(bytes_.get()) + mark_; }
  size_t byte_size() const { return size_ - mark_; }

 private:
  Status ReadWhole(const wchar_t* path);

  unique_hlocal bytes_;
  size_t size_ = 0;
  size_t mark_ = 0;
  unique_hlocal units_;
  size_t length_ = 0;
  TextEncoding encoding_ = TextEncoding::kAnsi;
};

// Writes file's text with the edits made in section, in encoding, into a file
// of its own beside path, named uniquely so that two saves at once never
// write into one file, and moves it over path in one step. In the file's own
// encoding, every line the edits keep is written as the bytes it was read
// from, and each line they write is converted on its own. False, with the
// file at path as it was and nothing left beside it, when any step fails.
bool ReplaceSettingsFile(const wchar_t* path, const SettingsText& file, std::wstring_view section,
                         const ProfileEdit* edits, size_t count, TextEncoding encoding);

}  // namespace tavok
