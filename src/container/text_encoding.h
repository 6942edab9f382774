// How a settings file's bytes are to be read: people edit tavok.ini by hand,
// and today's editors save UTF-8 without a byte-order mark, which the
// platform's profile functions take for the ANSI code page.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavok {

enum class TextEncoding {
  kAnsi,            // the ANSI code page, no mark
  kUtf8,            // UTF-8 without a mark
  kUtf8WithMark,    // UTF-8 after EF BB BF
  kUtf16,           // UTF-16 little-endian after FF FE
  kUtf16BigEndian,  // UTF-16 big-endian after FE FF (Notepad's "Unicode big endian")
};

// UTF-16 (either byte order) or UTF-8 after their marks; UTF-8 without one when every byte
// sequence is valid UTF-8 and at least one character is not ASCII (plain
// ASCII reads the same either way); the ANSI code page otherwise. Under the
// Japanese code page (932), a text whose bytes outside ASCII are all
// half-width katakana (A1 to DF) is Shift_JIS even when it is valid UTF-8:
// a folder named "ﾏｲ" or "ﾃｱ" is two such bytes that UTF-8 reads as one
// accented letter, and a Japanese system's UTF-8 file holds other characters.
TextEncoding DetectTextEncoding(const uint8_t* bytes, size_t size, uint32_t ansi_code_page);

// The mark that starts a text in encoding, MarkLength bytes; null for none.
const uint8_t* Mark(TextEncoding encoding);
// The length of the mark that starts a text in encoding.
size_t MarkLength(TextEncoding encoding);

}  // namespace tavok
