#include "settings/settings_encoding.h"

#include <windows.h>

#include <climits>
#include <cstring>

#include "host/handles.h"

namespace tavok {
namespace {

constexpr uint8_t kUtf8Mark[] = {0xEF, 0xBB, 0xBF};
constexpr uint8_t kUtf16Mark[] = {0xFF, 0xFE};
// No settings file comes near this; a larger one is no settings file.
constexpr DWORD kMaxFileSize = 16 * 1024 * 1024;

UINT CodePageOf(TextEncoding encoding) {
  return encoding == TextEncoding::kAnsi ? CP_ACP : CP_UTF8;
}

// The file's bytes; none for a file that does not exist. False when it
// exists and cannot be read whole.
bool ReadBytes(const wchar_t* path, unique_hlocal* bytes, DWORD* size) {
  *size = 0;
  const unique_file file(
      CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return GetLastError() == ERROR_FILE_NOT_FOUND;
  const DWORD length = GetFileSize(file.get(), nullptr);
  if (length == INVALID_FILE_SIZE || length > kMaxFileSize) return false;
  bytes->reset(LocalAlloc(LMEM_FIXED, length + 1));
  DWORD read = 0;
  if (!*bytes || !ReadFile(file.get(), bytes->get(), length, &read, nullptr) || read != length) {
    return false;
  }
  *size = length;
  return true;
}

bool WriteAll(HANDLE file, const void* data, DWORD size) {
  DWORD written = 0;
  return size == 0 || (WriteFile(file, data, size, &written, nullptr) && written == size);
}

// bytes after their mark, in encoding, as UTF-16 in a new block of at least
// one unit; *length units.
bool ToUtf16(const uint8_t* bytes, DWORD size, TextEncoding encoding, unique_hlocal* text,
             int* length) {
  const DWORD mark = static_cast<DWORD>(MarkLength(encoding));
  bytes += size < mark ? size : mark;
  size -= size < mark ? size : mark;
  // Every byte becomes at most one UTF-16 unit.
  text->reset(LocalAlloc(LMEM_FIXED, (size + 1) * sizeof(wchar_t)));
  if (!*text) return false;
  auto* units = static_cast<wchar_t*>(text->get());
  if (encoding == TextEncoding::kUtf16) {
    *length = static_cast<int>(size / sizeof(wchar_t));
    std::memcpy(units, bytes, static_cast<size_t>(*length) * sizeof(wchar_t));
    return true;
  }
  *length = size == 0
                ? 0
                : MultiByteToWideChar(CodePageOf(encoding), 0, reinterpret_cast<const char*>(bytes),
                                      static_cast<int>(size), units, static_cast<int>(size));
  return size == 0 || *length != 0;
}

}  // namespace

TextEncoding FileEncoding(const wchar_t* path) {
  unique_hlocal bytes;
  DWORD size = 0;
  if (!ReadBytes(path, &bytes, &size) || size == 0) return TextEncoding::kAnsi;
  return DetectTextEncoding(static_cast<const uint8_t*>(bytes.get()), size);
}

bool CopyText(const wchar_t* from, TextEncoding from_encoding, const wchar_t* to,
              TextEncoding to_encoding) {
  unique_hlocal bytes, text;
  DWORD size = 0;
  int length = 0;
  if (!ReadBytes(from, &bytes, &size) ||
      !ToUtf16(static_cast<const uint8_t*>(bytes.get()), size, from_encoding, &text, &length)) {
    return false;
  }
  const auto* units = static_cast<const wchar_t*>(text.get());
  const unique_file target(
      CreateFileW(to, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!target) return false;
  if (to_encoding == TextEncoding::kUtf16) {
    return WriteAll(target.get(), kUtf16Mark, sizeof(kUtf16Mark)) &&
           WriteAll(target.get(), units, static_cast<DWORD>(length) * sizeof(wchar_t));
  }
  // A UTF-16 unit becomes at most three UTF-8 bytes, or two ANSI ones.
  const int capacity = length * 3 + 1;
  const unique_hlocal converted(LocalAlloc(LMEM_FIXED, static_cast<SIZE_T>(capacity)));
  if (!converted) return false;
  const int written = length == 0 ? 0
                                  : WideCharToMultiByte(CodePageOf(to_encoding), 0, units, length,
                                                        static_cast<char*>(converted.get()),
                                                        capacity, nullptr, nullptr);
  if (length != 0 && written == 0) return false;
  return (to_encoding != TextEncoding::kUtf8WithMark ||
          WriteAll(target.get(), kUtf8Mark, sizeof(kUtf8Mark))) &&
         WriteAll(target.get(), converted.get(), static_cast<DWORD>(written));
}

}  // namespace tavok
