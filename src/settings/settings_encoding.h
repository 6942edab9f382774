// tavok.ini in whatever encoding it has. The profile functions read and write
// ANSI files and UTF-16 files with their mark; a UTF-8 file goes through a
// UTF-16 copy of its text, so that no key's text changes on its way.
#pragma once

#include "container/text_encoding.h"

namespace tavok {

// The encoding of the file at path; the ANSI code page for one that does not
// exist or cannot be read.
TextEncoding FileEncoding(const wchar_t* path);

// Writes the text of the file at from, read in from_encoding (no text when
// there is no such file), to the file at to, in to_encoding, replacing it.
// from and to may be the same file.
bool CopyText(const wchar_t* from, TextEncoding from_encoding, const wchar_t* to,
              TextEncoding to_encoding);

}  // namespace tavok
