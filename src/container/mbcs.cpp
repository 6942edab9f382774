#include "container/mbcs.h"

#include <cstring>

#include "container/lead_bytes.h"

namespace tavok {
namespace {

// Width of the character at p: 2 for a lead byte with a trail, else 1.
inline size_t CharWidth(const char* p) {
  return (IsLeadByte(static_cast<unsigned char>(p[0])) && p[1] != '\0') ? 2 : 1;
}

// Width of the character at text[at] inside a bounded text.
inline size_t CharWidthIn(std::string_view text, size_t at) {
  return (IsLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size()) ? 2 : 1;
}

inline char FoldAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

}  // namespace

const char* FindChar(const char* text, char c) {
  for (const char* p = text; *p != '\0'; p += CharWidth(p)) {
    if (*p == c && CharWidth(p) == 1) return p;
  }
  return nullptr;
}

char* FindChar(char* text, char c) {
  return const_cast<char*>(FindChar(static_cast<const char*>(text), c));
}

const char* FindLastChar(const char* text, char c) {
  const char* found = nullptr;
  for (const char* p = text; *p != '\0'; p += CharWidth(p)) {
    if (*p == c && CharWidth(p) == 1) found = p;
  }
  return found;
}

char* FindLastChar(char* text, char c) {
  return const_cast<char*>(FindLastChar(static_cast<const char*>(text), c));
}

const char* FindText(const char* text, const char* needle) {
  const size_t needle_length = std::strlen(needle);
  for (const char* p = text;; p += CharWidth(p)) {
    if (std::strncmp(p, needle, needle_length) == 0) return p;
    if (*p == '\0') return nullptr;
  }
}

size_t FindFirstOf(std::string_view text, char a, char b) {
  for (size_t at = 0; at < text.size(); at += CharWidthIn(text, at)) {
    if ((text[at] == a || text[at] == b) && CharWidthIn(text, at) == 1) return at;
  }
  return std::string_view::npos;
}

size_t FindLastChar(std::string_view text, char c) {
  size_t found = std::string_view::npos;
  for (size_t at = 0; at < text.size(); at += CharWidthIn(text, at)) {
    if (text[at] == c && CharWidthIn(text, at) == 1) found = at;
  }
  return found;
}

size_t FindText(std::string_view text, std::string_view needle) {
  for (size_t at = 0; at + needle.size() <= text.size(); at += CharWidthIn(text, at)) {
    if (std::memcmp(text.data() + at, needle.data(), needle.size()) == 0) return at;
  }
  return std::string_view::npos;
}

bool EqualsIgnoreCase(const char* a, const char* b) {
  while (*a != '\0' && *b != '\0') {
    const size_t width = CharWidth(a);
    if (width == 2) {
      if (a[0] != b[0] || a[1] != b[1]) return false;
    } else if (FoldAscii(*a) != FoldAscii(*b)) {
      return false;
    }
    a += width;
    b += width;
  }
  return *a == *b;
}

}  // namespace tavok
