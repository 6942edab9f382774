// Searches and comparisons over zero-terminated ANSI strings that treat a
// double-byte character as one unit, so that a trail byte equal to a separator
// (0x5C, the backslash, is a common one under code page 932) never matches.
// A lead byte followed by the terminator counts as a single byte.
#pragma once

#include <cstddef>
#include <string_view>

namespace tavok {

// First occurrence of the single-byte character c, or nullptr.
const char* FindChar(const char* text, char c);
char* FindChar(char* text, char c);

// Last occurrence of the single-byte character c, or nullptr.
const char* FindLastChar(const char* text, char c);
char* FindLastChar(char* text, char c);

// First occurrence of needle that starts on a character boundary, or nullptr.
// An empty needle matches at the start.
const char* FindText(const char* text, const char* needle);

// The same searches over a text of known length that holds no terminator,
// such as a line inside a loaded file. They return a position in text, or
// std::string_view::npos. A lead byte in the last position counts as one byte.
size_t FindFirstOf(std::string_view text, char a, char b);
size_t FindLastChar(std::string_view text, char c);
size_t FindText(std::string_view text, std::string_view needle);

// Case-insensitive equality; only ASCII letters fold, and only outside
// double-byte characters.
bool EqualsIgnoreCase(const char* a, const char* b);

}  // namespace tavok
