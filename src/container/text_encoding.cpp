#include "container/text_encoding.h"

namespace tavok {
namespace {

bool StartsWith(const uint8_t* bytes, size_t size, const uint8_t* mark, size_t length) {
  if (size < length) return false;
  for (size_t i = 0; i < length; ++i) {
    if (bytes[i] != mark[i]) return false;
  }
  return true;
}

constexpr uint8_t kUtf8Mark[] = {0xEF, 0xBB, 0xBF};
constexpr uint8_t kUtf16Mark[] = {0xFF, 0xFE};
constexpr uint8_t kUtf16BigEndianMark[] = {0xFE, 0xFF};

bool IsContinuation(uint8_t byte) {
  return (byte & 0xC0) == 0x80;
}

// Whether bytes are well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF) holding at least one non-ASCII character.
bool IsNonAsciiUtf8(const uint8_t* bytes, size_t size) {
  bool non_ascii = false;
  for (size_t at = 0; at < size;) {
    const uint8_t lead = bytes[at];
    if (lead < 0x80) {
      ++at;
      continue;
    }
    non_ascii = true;
    size_t length = 0;
    uint8_t low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (size - at < length || bytes[at + 1] < low || bytes[at + 1] > high) return false;
    for (size_t i = 2; i < length; ++i) {
      if (!IsContinuation(bytes[at + i])) return false;
    }
    at += length;
  }
  return non_ascii;
}

bool IsHalfWidthKatakanaOnly(const uint8_t* bytes, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    if (bytes[i] >= 0x80 && (bytes[i] < 0xA1 || bytes[i] > 0xDF)) return false;
  }
  return true;
}

constexpr uint32_t kShiftJis = 932;

}  // namespace

TextEncoding DetectTextEncoding(const uint8_t* bytes, size_t size, uint32_t ansi_code_page) {
  if (StartsWith(bytes, size, kUtf16Mark, sizeof(kUtf16Mark))) return TextEncoding::kUtf16;
  if (StartsWith(bytes, size, kUtf16BigEndianMark, sizeof(kUtf16BigEndianMark))) {
    return TextEncoding::kUtf16BigEndian;
  }
  if (StartsWith(bytes, size, kUtf8Mark, sizeof(kUtf8Mark))) return TextEncoding::kUtf8WithMark;
  if (!IsNonAsciiUtf8(bytes, size)) return TextEncoding::kAnsi;
  return ansi_code_page == kShiftJis && IsHalfWidthKatakanaOnly(bytes, size) ? TextEncoding::kAnsi
                                                                             : TextEncoding::kUtf8;
}

const uint8_t* Mark(TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::kUtf8WithMark:
      return kUtf8Mark;
    case TextEncoding::kUtf16:
      return kUtf16Mark;
    case TextEncoding::kUtf16BigEndian:
      return kUtf16BigEndianMark;
    default:
      return nullptr;
  }
}

size_t MarkLength(TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::kUtf8WithMark:
      return sizeof(kUtf8Mark);
    case TextEncoding::kUtf16:
    case TextEncoding::kUtf16BigEndian:
      return sizeof(kUtf16Mark);
    default:
      return 0;
  }
}

}  // namespace tavok
