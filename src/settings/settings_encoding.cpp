#include "settings/settings_encoding.h"

#include <cstring>

#include "container/file_paths.h"

namespace tavok {
namespace {

// No settings file comes near this; a larger one is no settings file.
constexpr DWORD kMaxFileSize = 16 * 1024 * 1024;

bool IsUtf8(TextEncoding encoding) {
  return encoding == TextEncoding::kUtf8 || encoding == TextEncoding::kUtf8WithMark;
}

bool IsUtf16(TextEncoding encoding) {
  return encoding == TextEncoding::kUtf16 || encoding == TextEncoding::kUtf16BigEndian;
}

void SwapBytes(wchar_t* units, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    units[i] = static_cast<wchar_t>(((units[i] & 0xFF) << 8) | ((units[i] >> 8) & 0xFF));
  }
}

// bytes, after their mark, in encoding, as UTF-16 in a new block. A byte
// text is converted line by line, so that line n of the text is line n of
// the bytes whatever a line holds: a stray lead byte at a line's end cannot
// take its line break with it. UTF-8 that is not well-formed is refused
// rather than read with its bad bytes replaced, which a save would then
// write back.
bool ToUtf16(const uint8_t* bytes, size_t size, TextEncoding encoding, unique_hlocal* units,
             size_t* length) {
  // Every byte becomes at most one UTF-16 unit.
  units->reset(LocalAlloc(LMEM_FIXED, (size + 1) * sizeof(wchar_t)));
  if (!*units) return false;
  auto* text = static_cast<wchar_t*>(units->get());
  *length = 0;
  if (IsUtf16(encoding)) {
    *length = size / sizeof(wchar_t);
    std::memcpy(text, bytes, *length * sizeof(wchar_t));
    if (encoding == TextEncoding::kUtf16BigEndian) SwapBytes(text, *length);
    return true;
  }
  const UINT code_page = IsUtf8(encoding) ? CP_UTF8 : CP_ACP;
  const DWORD flags = IsUtf8(encoding) ? MB_ERR_INVALID_CHARS : 0;
  for (size_t at = 0; at < size;) {
    const size_t end = LineEnd(bytes, size, at);
    const int converted = MultiByteToWideChar(
        code_page, flags, reinterpret_cast<const char*>(bytes + at), static_cast<int>(end - at),
        text + *length, static_cast<int>(size - *length));
    if (converted == 0) return false;
    *length += static_cast<size_t>(converted);
    at = end;
  }
  return true;
}

// The edited file's bytes, built in one block as the edit goes.
class ByteOutput final : public ProfileOutput {
 public:
  ByteOutput(const SettingsText& file, TextEncoding encoding, size_t capacity)
      : file_(file),
        encoding_(encoding),
        splice_(encoding == file.encoding()),
        block_(LocalAlloc(LMEM_FIXED, capacity)),
        capacity_(capacity) {}

  bool ok() const { return block_ && ok_; }
  const void* data() const { return block_.get(); }
  size_t size() const { return used_; }

  void PutMark() { PutBytes(Mark(encoding_), MarkLength(encoding_)); }

  void Keep(size_t index, std::wstring_view line) override {
    if (!splice_) return Write(line);
    // The lines are kept in order: the one asked for is at or after the last.
    for (; line_ < index && at_ < file_.byte_size(); ++line_) at_ = NextLine(at_);
    const size_t end = NextLine(at_);
    PutBytes(file_.bytes() + at_, end - at_);
    at_ = end;
    ++line_;
  }

  void Write(std::wstring_view text) override {
    if (text.empty() || !ok()) return;
    uint8_t* out = static_cast<uint8_t*>(block_.get()) + used_;
    const size_t room = capacity_ - used_;
    if (IsUtf16(encoding_)) {
      PutBytes(text.data(), text.size() * sizeof(wchar_t));
      if (ok() && encoding_ == TextEncoding::kUtf16BigEndian) {
        SwapBytes(reinterpret_cast<wchar_t*>(out), text.size());
      }
      return;
    }
    const int written = WideCharToMultiByte(
        IsUtf8(encoding_) ? CP_UTF8 : CP_ACP, 0, text.data(), static_cast<int>(text.size()),
        reinterpret_cast<char*>(out), static_cast<int>(room), nullptr, nullptr);
    if (written == 0) ok_ = false;
    used_ += static_cast<size_t>(written);
  }

 private:
  // Where the line of the file's bytes that starts at byte at ends.
  size_t NextLine(size_t at) const {
    if (!IsUtf16(encoding_)) return LineEnd(file_.bytes(), file_.byte_size(), at);
    // Each unit of the text read is two of the bytes; an odd byte at the
    // end, which no unit holds, stays with the last line.
    const std::wstring_view text = file_.text();
    const size_t end = LineEnd(text.data(), text.size(), at / sizeof(wchar_t));
    return end == text.size() ? file_.byte_size() : end * sizeof(wchar_t);
  }

  void PutBytes(const void* bytes, size_t size) {
    if (size == 0) return;
    if (!ok() || size > capacity_ - used_) {
      ok_ = false;
      return;
    }
    std::memcpy(static_cast<uint8_t*>(block_.get()) + used_, bytes, size);
    used_ += size;
  }

  const SettingsText& file_;
  TextEncoding encoding_;
  bool splice_;
  unique_hlocal block_;
  size_t capacity_;
  size_t used_ = 0;
  bool ok_ = true;
  size_t line_ = 0;  // the line of the file's bytes that starts at at_
  size_t at_ = 0;
};

bool WriteAll(HANDLE file, const void* data, size_t size) {
  DWORD written = 0;
  return size == 0 ||
         (WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) && written == size);
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
    bytes_.reset();
    size_ = mark_ = 0;
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
  bytes_.reset(LocalAlloc(LMEM_FIXED, size + 1));
  DWORD read = 0;
  if (!bytes_ || (size > 0 && !ReadFile(file.get(), bytes_.get(), size, &read, nullptr)) ||
      read != size) {
    return kUnreadable;
  }
  size_ = size;
  const auto* data = static_cast<const uint8_t*>(bytes_.get());
  encoding_ = DetectTextEncoding(data, size, GetACP());
  mark_ = MarkLength(encoding_);
  return ToUtf16(bytes(), byte_size(), encoding_, &units_, &length_) ? kRead : kUnreadable;
}

bool ReplaceSettingsFile(const wchar_t* path, const SettingsText& file, std::wstring_view section,
                         const ProfileEdit* edits, size_t count, TextEncoding encoding) {
  // A UTF-16 unit becomes at most three UTF-8 bytes, or two of the others.
  const size_t bound = EditedProfileBound(file.text(), section, edits, count);
  ByteOutput out(file, encoding, file.byte_size() + 3 * bound + MarkLength(encoding));
  out.PutMark();
  EditProfileLines(file.text(), section, edits, count, out);
  if (!out.ok()) return false;

  wchar_t folder[MAX_PATH];
  lstrcpynW(folder, path, MAX_PATH);
  folder[FileNameOf(path) - path] = L'\0';
  // Made, empty, under a name no other save uses at the same time.
  wchar_t own[MAX_PATH];
  if (GetTempFileNameW(folder, L"tvk", 0, own) == 0) return false;
  bool written = false;
  {
    const unique_file temporary(
        CreateFileW(own, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    written = temporary && WriteAll(temporary.get(), out.data(), out.size()) &&
              FlushFileBuffers(temporary.get());
  }
  if (written && MoveOver(own, path)) return true;
  DeleteFileW(own);
  return false;
}

}  // namespace tavok
