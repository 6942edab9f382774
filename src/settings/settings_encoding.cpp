#include "settings/settings_encoding.h"

#include <cstring>

#include "container/file_paths.h"

namespace tavok {
namespace {

constexpr uint8_t kUtf8Mark[] = {0xEF, 0xBB, 0xBF};
constexpr uint8_t kUtf16Mark[] = {0xFF, 0xFE};
// No settings file comes near this; a larger one is no settings file.
constexpr DWORD kMaxFileSize = 16 * 1024 * 1024;

bool IsUtf8(TextEncoding encoding) {
  return encoding == TextEncoding::kUtf8 || encoding == TextEncoding::kUtf8WithMark;
}

// bytes after their mark, in encoding, as UTF-16 in a new block. UTF-8 that is
// not well-formed is refused rather than read with its bad bytes replaced,
// which a save would then write back.
bool ToUtf16(const uint8_t* bytes, DWORD size, TextEncoding encoding, unique_hlocal* units,
             size_t* length) {
  const DWORD mark = static_cast<DWORD>(MarkLength(encoding));
  bytes += size < mark ? size : mark;
  size -= size < mark ? size : mark;
  // Every byte becomes at most one UTF-16 unit.
  units->reset(LocalAlloc(LMEM_FIXED, (size + 1) * sizeof(wchar_t)));
  if (!*units) return false;
  auto* text = static_cast<wchar_t*>(units->get());
  if (encoding == TextEncoding::kUtf16) {
    *length = size / sizeof(wchar_t);
    std::memcpy(text, bytes, *length * sizeof(wchar_t));
    return true;
  }
  if (size == 0) {
    *length = 0;
    return true;
  }
  const int converted = MultiByteToWideChar(
      IsUtf8(encoding) ? CP_UTF8 : CP_ACP, IsUtf8(encoding) ? MB_ERR_INVALID_CHARS : 0,
      reinterpret_cast<const char*>(bytes), static_cast<int>(size), text, static_cast<int>(size));
  *length = static_cast<size_t>(converted);
  return converted != 0;
}

bool WriteAll(HANDLE file, const void* data, size_t size) {
  DWORD written = 0;
  return size == 0 ||
         (WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) && written == size);
}

bool WriteText(HANDLE file, std::wstring_view text, TextEncoding encoding) {
  if (encoding == TextEncoding::kUtf16) {
    return WriteAll(file, kUtf16Mark, sizeof(kUtf16Mark)) &&
           WriteAll(file, text.data(), text.size() * sizeof(wchar_t));
  }
  if (encoding == TextEncoding::kUtf8WithMark && !WriteAll(file, kUtf8Mark, sizeof(kUtf8Mark))) {
    return false;
  }
  if (text.empty()) return true;
  // A UTF-16 unit becomes at most three UTF-8 bytes, or two ANSI ones.
  const int capacity = static_cast<int>(text.size() * 3);
  const unique_hlocal bytes(LocalAlloc(LMEM_FIXED, static_cast<SIZE_T>(capacity)));
  if (!bytes) return false;
  const int written = WideCharToMultiByte(
      IsUtf8(encoding) ? CP_UTF8 : CP_ACP, 0, text.data(), static_cast<int>(text.size()),
      static_cast<char*>(bytes.get()), capacity, nullptr, nullptr);
  return written != 0 && WriteAll(file, bytes.get(), static_cast<size_t>(written));
}

// Replacing a file fails while any program has it open (under Wine, whatever
// it shares; under Windows, unless it shares its deletion): another viewer
// reading it, a second save, a virus scanner. Each holds it for moments.
bool MoveOver(const wchar_t* from, const wchar_t* to) {
  constexpr int kAttempts = 100;  // a second in all
  for (int attempt = 1;; ++attempt) {
    if (MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    const DWORD error = GetLastError();
    if (attempt == kAttempts ||
        (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)) {
      return false;
    }
    Sleep(10);
  }
}

}  // namespace

SettingsText::Status SettingsText::Read(const wchar_t* path) {
  const Status status = ReadWhole(path);
  if (status != kRead) {
    units_.reset();
    length_ = 0;
    encoding_ = TextEncoding::kAnsi;
  }
  return status;
}

SettingsText::Status SettingsText::ReadWhole(const wchar_t* path) {
  // Shared for writing and deleting too: a read never stops another
  // viewer's save from replacing the file.
  const unique_file file(CreateFileW(path, GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? kMissing : kUnreadable;
  }
  const DWORD size = GetFileSize(file.get(), nullptr);
  if (size == INVALID_FILE_SIZE || size > kMaxFileSize) return kUnreadable;
  const unique_hlocal bytes(LocalAlloc(LMEM_FIXED, size + 1));
  DWORD read = 0;
  if (!bytes || (size > 0 && !ReadFile(file.get(), bytes.get(), size, &read, nullptr)) ||
      read != size) {
    return kUnreadable;
  }
  const auto* data = static_cast<const uint8_t*>(bytes.get());
  encoding_ = DetectTextEncoding(data, size, GetACP());
  return ToUtf16(data, size, encoding_, &units_, &length_) ? kRead : kUnreadable;
}

bool ReplaceSettingsFile(const wchar_t* path, std::wstring_view text, TextEncoding encoding) {
  wchar_t folder[MAX_PATH];
  lstrcpynW(folder, path, MAX_PATH);
  folder[FileNameOf(path) - path] = L'\0';
  // Made, empty, under a name no other save uses at the same time.
  wchar_t own[MAX_PATH];
  if (GetTempFileNameW(folder, L"tvk", 0, own) == 0) return false;
  bool written = false;
  {
    const unique_file file(
        CreateFileW(own, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    written = file && WriteText(file.get(), text, encoding) && FlushFileBuffers(file.get());
  }
  if (written && MoveOver(own, path)) return true;
  DeleteFileW(own);
  return false;
}

}  // namespace tavok
