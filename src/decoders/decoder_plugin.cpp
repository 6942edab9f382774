#include "decoders/decoder_plugin.h"

#include <cstddef>
#include <cstring>

#include "container/file_paths.h"
#include "container/mbcs.h"
#include "decoders/decoder_lock.h"

namespace tavok {
namespace {

int __stdcall NeverAbort(int, int, LONG_PTR) {
  return 0;
}

// SetThreadErrorMode exists from Windows 7 on; importing it would keep the
// whole module from loading on Windows XP and Vista. There the process-wide
// SetErrorMode stands in, set back at once.
class QuietLoaderErrors {
 public:
  QuietLoaderErrors() {
    using SetThreadErrorModeFn = BOOL(WINAPI*)(DWORD, DWORD*);
    set_thread_mode_ =
        FindExport<SetThreadErrorModeFn>(GetModuleHandleA("kernel32.dll"), "SetThreadErrorMode");
    if (set_thread_mode_ != nullptr) {
      thread_mode_set_ = set_thread_mode_(kQuiet, &previous_) != FALSE;
    } else {
      previous_ = SetErrorMode(kQuiet);
    }
  }
  ~QuietLoaderErrors() {
    if (set_thread_mode_ == nullptr) {
      SetErrorMode(previous_);
    } else if (thread_mode_set_) {
      set_thread_mode_(previous_, nullptr);
    }
  }
  QuietLoaderErrors(const QuietLoaderErrors&) = delete;
  QuietLoaderErrors& operator=(const QuietLoaderErrors&) = delete;

 private:
  static constexpr DWORD kQuiet = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;
  BOOL(WINAPI* set_thread_mode_)(DWORD, DWORD*) = nullptr;
  bool thread_mode_set_ = false;
  DWORD previous_ = 0;
};

#if defined(_WIN64)
// Some 64-bit decoders in circulation were built without the padding after
// the colour depth: their handle sits at offset 22, and the record's last two
// bytes stay as they were. A handle is a user-mode address, whose top 16 bits
// are 0, so a handle at 24 always overwrites them.
constexpr uint8_t kRecordFill = 0xA5;
constexpr size_t kUnpaddedTextOffset = 22;

bool Untouched(const uint8_t* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (bytes[i] != kRecordFill) return false;
  }
  return true;
}

HLOCAL TextHandleIn(const uint8_t (&record)[sizeof(PictureInfo)]) {
  const bool unpadded = Untouched(record + 30, 2) && !Untouched(record + kUnpaddedTextOffset, 8);
  uint64_t value = 0;
  std::memcpy(&value, record + (unpadded ? kUnpaddedTextOffset : offsetof(PictureInfo, text)),
              sizeof(value));
  // Nothing written, or bits no user-mode address has: no handle at all
  // rather than one that would be locked or freed.
  if ((value >> 48) != 0) return nullptr;
  return reinterpret_cast<HLOCAL>(value);
}
#endif

// From a full path, the libraries a decoder ships beside it come from its own
// folder first. Where the loader knows the restricted search (the system has
// AddDllDirectory: Windows 8 on, 7 and Vista with their update), the rest come
// from the system's folders only: never from the host's current folder, which
// is usually the folder being browsed. Elsewhere the altered search order is
// the best there is; it searches the current folder after the system's. The
// process's own search path is the host's, and is left alone.
DWORD FullPathLoadFlags() {
  const bool restricted_search =
      FindExport<FARPROC>(GetModuleHandleA("kernel32.dll"), "AddDllDirectory") != nullptr;
  return restricted_search ? LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS
                           : LOAD_WITH_ALTERED_SEARCH_PATH;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

template <typename Fn>
Fn DecoderPlugin::Lookup(const char* name) const {
  return library_ ? FindExport<Fn>(library_.get(), name) : nullptr;
}

int DecoderPlugin::SetPath(const wchar_t* new_path) {
  Unload();
  lstrcpynW(path, new_path, kDecoderPathSize);
  return Load();
}

int DecoderPlugin::SetPath(const char* new_path) {
  wchar_t wide[kDecoderPathSize] = {};
  // A path cut short by the conversion is cut short as a wide one would be.
  if (MultiByteToWideChar(CP_ACP, 0, new_path, -1, wide, kDecoderPathSize) == 0) {
    wide[kDecoderPathSize - 1] = L'\0';
  }
  return SetPath(wide);
}

int DecoderPlugin::Load() {
  if (library_) return 1;
  // A listed decoder that is missing or broken must not make the platform put
  // up an error box in the middle of the user's viewer.
  const QuietLoaderErrors quiet;
  // A relative path (only tests register one) loads as written.
  library_.reset(IsFullPath(path) ? LoadLibraryExW(path, nullptr, FullPathLoadFlags())
                                  : LoadLibraryW(path));
  return library_ ? 1 : 0;
}

int DecoderPlugin::Unload() {
  if (!library_) return 0;
  library_.reset();
  return 1;
}

int32_t DecoderPlugin::QueryInfo(int32_t number, char* buffer, int32_t length) {
  auto get_plugin_info = Lookup<GetPluginInfoFn>("GetPluginInfo");
  if (get_plugin_info == nullptr || length < 0) return 0;
  // Zeroed first: a decoder may report more than it wrote, or a negative
  // count, and what it did not write must not be taken for text.
  std::memset(buffer, 0, static_cast<size_t>(length) + 1);
  const decoder_call call(library_.get());
  if (call.refused()) return 0;
  const int32_t n = get_plugin_info(number, buffer, length);
  if (n < 1) {
    buffer[0] = '\0';
    return 0;
  }
  const int32_t kept = n < length ? n : length;
  buffer[kept] = '\0';
  return kept;
}

int32_t DecoderPlugin::QuerySupported(const char* name, const void* head) {
  auto is_supported = Lookup<IsSupportedFn>("IsSupported");
  if (is_supported == nullptr) return 0;
  const decoder_call call(library_.get());
  if (call.refused()) return kNotAsked;
  return is_supported(name, reinterpret_cast<ULONG_PTR>(head)) != 0 ? 1 : 0;
}

int32_t DecoderPlugin::HasConfigurationDialog() {
  return Lookup<FARPROC>("ConfigurationDlg") == nullptr ? -1 : 1;
}

int32_t DecoderPlugin::QueryPictureInfo(const void* data, int32_t size, uint32_t flag,
                                        PictureInfo* info) {
  auto get_picture_info = Lookup<GetPictureInfoFn>("GetPictureInfo");
  if (get_picture_info == nullptr) return kMissingEntryPoint;
#if defined(_WIN64)
  // The record is filled with a pattern that no handle can hold first, and
  // read back by where the decoder wrote.
  uint8_t record[sizeof(PictureInfo)];
  std::memset(record, kRecordFill, sizeof(record));
  const decoder_call call(library_.get());
  if (call.refused()) return kDecoderBusy;
  const int32_t result = get_picture_info(static_cast<const char*>(data), size, flag,
                                          reinterpret_cast<PictureInfo*>(record));
  *info = PictureInfo{};
  std::memcpy(info, record, offsetof(PictureInfo, colour_depth) + sizeof(info->colour_depth));
  info->text = TextHandleIn(record);
  return result;
#else
  // A decoder that writes no handle hands over no text.
  info->text = nullptr;
  const decoder_call call(library_.get());
  if (call.refused()) return kDecoderBusy;
  return get_picture_info(static_cast<const char*>(data), size, flag, info);
#endif
}

int32_t DecoderPlugin::QueryPicture(const void* data, int32_t size, uint32_t flag,
                                    HLOCAL* bitmap_info, HLOCAL* bitmap_bits,
                                    ProgressCallback progress, LONG_PTR user) {
  auto get_picture = Lookup<GetPictureFn>("GetPicture");
  if (get_picture == nullptr) return kMissingEntryPoint;
  const decoder_call call(library_.get());
  if (call.refused()) return kDecoderBusy;
  return get_picture(static_cast<const char*>(data), size, flag, bitmap_info, bitmap_bits,
                     progress != nullptr ? progress : &NeverAbort, user);
}

void DecoderPlugin::AppendPattern(const char* pattern) {
  const size_t used = std::strlen(patterns);
  const size_t added = std::strlen(pattern);
  if (used + added + 1 >= sizeof(patterns)) return;
  std::memcpy(patterns + used, pattern, added);
  patterns[used + added] = ';';
  patterns[used + added + 1] = '\0';
}

int DecoderPlugin::MatchesExtension(const char* extension) const {
  // Only the first 253 bytes of the list are compared.
  char work[kDecoderPatternsSize];
  lstrcpynA(work, patterns, 254);
  char* piece = work;
  for (;;) {
    char* separator = FindChar(piece, ';');
    if (separator == nullptr) return 0;
    // Lists written "*.gif; *.png" are common: blanks around an entry are no
    // part of it.
    char* entry_end = separator;
    while (entry_end > piece && IsBlank(entry_end[-1])) --entry_end;
    *entry_end = '\0';
    char* entry = piece;
    while (IsBlank(*entry)) ++entry;
    // The entry's first character (the "*" of "*.ext") is skipped, whatever it
    // is; an empty entry has none to skip and matches nothing.
    if (entry[0] != '\0' && lstrcmpiA(entry + 1, extension) == 0) return 1;
    piece = separator + 1;
    if (*piece == '\0') return 0;
  }
}

void DecoderPlugin::MoveFrom(DecoderPlugin& other) {
  library_ = std::move(other.library_);
  std::memcpy(path, other.path, sizeof(path));
  std::memcpy(patterns, other.patterns, sizeof(patterns));
  std::memcpy(description, other.description, sizeof(description));
  category = other.category;
  has_configuration = other.has_configuration;
}

void DecoderPlugin::ClearDeclarations() {
  patterns[0] = '\0';
  description[0] = '\0';
}

}  // namespace tavok
