#include "settings/settings_file.h"

#include <windows.h>

#include <climits>
#include <cstring>

#include "container/file_paths.h"
#include "decoders/decoder_lock.h"
#include "decoders/decoder_table.h"
#include "host/handles.h"
#include "placeholder/placeholder.h"
#include "settings/module_lifecycle.h"
#include "settings/settings_encoding.h"

namespace tavok {
namespace {

constexpr int kPathSize = MAX_PATH;
constexpr wchar_t kDecoderSection[] = L"SPI";
constexpr wchar_t kIconSection[] = L"Icon";
constexpr wchar_t kOptionsSection[] = L"Options";

wchar_t g_settings_path[kPathSize] = {};

// An entry of the file that was not registered, and its place in the list.
struct KeptEntry {
  int32_t index;
  wchar_t value[kPathSize];     // as written
  wchar_t resolved[kPathSize];  // as it would have been registered; may be empty
};
KeptEntry g_kept[kMaxDecoders];
int32_t g_kept_count = 0;

// "Path" and one decimal digit: entries beyond Path9 do not exist.
void DecoderKey(int32_t index, wchar_t key[6]) {
  lstrcpyW(key, L"Path");
  key[4] = static_cast<wchar_t>(L'0' + index);
  key[5] = L'\0';
}

// The character after the last backslash of path, or path itself.
const wchar_t* FileNameOf(const wchar_t* path) {
  const wchar_t* name = path;
  for (const wchar_t* c = path; *c != L'\0'; ++c) {
    if (*c == L'\\') name = c + 1;
  }
  return name;
}

// Derives tavok.ini from the module's own path: everything from the last
// dot of its file name is replaced by ".ini".
bool FindSettingsPath(wchar_t path[kPathSize]) {
  const DWORD length = GetModuleFileNameW(ModuleHandle(), path, kPathSize);
  // A truncated name would point at another folder's settings.
  if (length == 0 || length >= static_cast<DWORD>(kPathSize)) {
    path[0] = L'\0';
    return false;
  }
  wchar_t* end = path + length;
  for (wchar_t* c = const_cast<wchar_t*>(FileNameOf(path)); *c != L'\0'; ++c) {
    if (*c == L'.') end = c;
  }
  if (end - path + 5 > kPathSize) {
    path[0] = L'\0';
    return false;
  }
  lstrcpyW(end, L".ini");
  return true;
}

// A value that is not a full path names a file relative to the module's own
// folder: relative to the host's current folder, which is whatever folder the
// viewer last showed, it would load nothing, or whatever DLL lies there. The
// joined path is refused when it would not fit: cut short, it could name a
// different module from the one the user listed.
bool ResolveDecoderPath(const wchar_t* value, wchar_t resolved[kPathSize]) {
  if (IsFullPath(value)) {
    lstrcpynW(resolved, value, kPathSize);
    return true;
  }
  const size_t folder_length = static_cast<size_t>(FileNameOf(g_settings_path) - g_settings_path);
  const size_t value_length = static_cast<size_t>(lstrlenW(value));
  if (folder_length + value_length + 1 > static_cast<size_t>(kPathSize)) return false;
  std::memcpy(resolved, g_settings_path, folder_length * sizeof(wchar_t));
  std::memcpy(resolved + folder_length, value, (value_length + 1) * sizeof(wchar_t));
  return true;
}

void Keep(int32_t index, const wchar_t* value, const wchar_t* resolved) {
  KeptEntry& entry = g_kept[g_kept_count++];
  entry.index = index;
  lstrcpynW(entry.value, value, kPathSize);
  lstrcpynW(entry.resolved, resolved, kPathSize);
}

bool IsInTable(const wchar_t* path) {
  for (int32_t i = 0; i < DecoderCount(); ++i) {
    if (path[0] != L'\0' && lstrcmpiW(DecoderAt(i).path, path) == 0) return true;
  }
  return false;
}

// Where each entry the file listed and the table took stood in the file, and
// its value as written there.
struct LoadedEntry {
  int32_t index;
  wchar_t path[kPathSize];
  wchar_t value[kPathSize];
};
LoadedEntry g_loaded[kMaxDecoders];
int32_t g_loaded_count = 0;

const LoadedEntry* LoadedEntryFor(const wchar_t* table_path) {
  for (int32_t i = 0; i < g_loaded_count; ++i) {
    if (lstrcmpiW(g_loaded[i].path, table_path) == 0) return &g_loaded[i];
  }
  return nullptr;
}

// The list to save: the table's entries and the kept entries that have not
// been registered since, each in its place. An entry from the file is saved
// as it was written there: a path relative to tavok's folder stays relative,
// so that a viewer folder that moves, or a drive that comes back under
// another letter, keeps its decoders. A decoder added since is saved as it
// was picked, after every entry from the file.
int32_t ListToSave(const wchar_t* list[kMaxDecoders]) {
  struct Placed {
    int32_t place;
    const wchar_t* value;
  } placed[2 * kMaxDecoders];
  int32_t count = 0;
  for (int32_t i = 0; i < DecoderCount(); ++i) {
    const LoadedEntry* loaded = LoadedEntryFor(DecoderAt(i).path);
    placed[count++] = loaded != nullptr ? Placed{loaded->index, loaded->value}
                                        : Placed{kMaxDecoders + i, DecoderAt(i).path};
  }
  for (int32_t i = 0; i < g_kept_count; ++i) {
    if (!IsInTable(g_kept[i].resolved)) placed[count++] = {g_kept[i].index, g_kept[i].value};
  }
  // Few entries, most in order already: an insertion sort, stable.
  for (int32_t i = 1; i < count; ++i) {
    const Placed entry = placed[i];
    int32_t at = i;
    for (; at > 0 && placed[at - 1].place > entry.place; --at) placed[at] = placed[at - 1];
    placed[at] = entry;
  }
  if (count > kMaxDecoders) count = kMaxDecoders;
  for (int32_t i = 0; i < count; ++i) list[i] = placed[i].value;
  return count;
}

// Writes the list into the file at path, keys beyond it removed. The profile
// functions report each write's failure.
bool WriteList(const wchar_t* path, const wchar_t* const list[], int32_t count) {
  // 0 to 10.
  wchar_t text[3] = {};
  if (count >= 10) {
    text[0] = L'1';
    text[1] = static_cast<wchar_t>(L'0' + count - 10);
  } else {
    text[0] = static_cast<wchar_t>(L'0' + count);
  }
  if (!WritePrivateProfileStringW(kDecoderSection, L"Count", text, path)) return false;
  for (int32_t i = 0; i < kMaxDecoders; ++i) {
    wchar_t key[6];
    DecoderKey(i, key);
    const wchar_t* value = i < count ? list[i] : nullptr;  // null removes the key
    if (!WritePrivateProfileStringW(kDecoderSection, key, value, path) && value != nullptr) {
      return false;
    }
  }
  return true;
}

bool CodePageCanSpell(const wchar_t* text) {
  BOOL lossy = FALSE;
  return WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, nullptr, 0, nullptr, &lossy) !=
             0 &&
         !lossy;
}

bool IsUtf8(TextEncoding encoding) {
  return encoding == TextEncoding::kUtf8 || encoding == TextEncoding::kUtf8WithMark;
}

// The file the profile functions read the settings from: tavok.ini itself,
// or for a UTF-8 file a UTF-16 copy of it in the temporary folder, removed
// again when the reading is done.
class ProfileToRead {
 public:
  ProfileToRead() {
    lstrcpynW(path_, g_settings_path, kPathSize);
    const TextEncoding encoding = FileEncoding(g_settings_path);
    if (!IsUtf8(encoding)) return;
    wchar_t folder[kPathSize];
    const DWORD length = GetTempPathW(kPathSize, folder);
    wchar_t copy[kPathSize];
    if (length == 0 || length >= static_cast<DWORD>(kPathSize) ||
        GetTempFileNameW(folder, L"tvk", 0, copy) == 0) {
      return;
    }
    // When no copy can be made, the file is read in the ANSI code page.
    if (!CopyText(g_settings_path, encoding, copy, TextEncoding::kUtf16)) {
      DeleteFileW(copy);
      return;
    }
    lstrcpynW(path_, copy, kPathSize);
    temporary_ = true;
  }
  ~ProfileToRead() {
    if (temporary_) DeleteFileW(path_);
  }
  ProfileToRead(const ProfileToRead&) = delete;
  ProfileToRead& operator=(const ProfileToRead&) = delete;
  const wchar_t* path() const { return path_; }

 private:
  wchar_t path_[kPathSize];
  bool temporary_ = false;
};

}  // namespace

const wchar_t* SettingsPath() {
  return g_settings_path;
}

int32_t KeptEntryCount() {
  return g_kept_count;
}

void LoadSettings() {
  UnloadAllDecoders();
  SetKeepDecodersLoaded(false);
  SetAskEveryDecoder(false);
  SetParallelDecoders(false);
  g_kept_count = 0;
  g_loaded_count = 0;
  if (!FindSettingsPath(g_settings_path)) return;
  if (GetFileAttributesW(g_settings_path) == INVALID_FILE_ATTRIBUTES) return;
  const ProfileToRead profile;
  const wchar_t* const file = profile.path();

  int32_t count = static_cast<int32_t>(GetPrivateProfileIntW(kDecoderSection, L"Count", 0, file));
  if (count >= kMaxDecoders) count = kMaxDecoders;
  for (int32_t i = 0; i < count; ++i) {
    wchar_t key[6];
    DecoderKey(i, key);
    // One character more than a path holds: a value that fills it was cut by
    // the profile reader, and cut to a path's length it could name another
    // module than the one listed.
    wchar_t value[kPathSize + 1] = {};
    GetPrivateProfileStringW(kDecoderSection, key, L"", value, kPathSize + 1, file);
    if (value[0] == L'\0' || lstrlenW(value) >= kPathSize) continue;
    wchar_t resolved[kPathSize] = {};
    const bool fits = ResolveDecoderPath(value, resolved);
    if (fits && RegisterDecoder(resolved)) {
      LoadedEntry& loaded = g_loaded[g_loaded_count++];
      loaded.index = i;
      lstrcpynW(loaded.path, resolved, kPathSize);
      lstrcpynW(loaded.value, value, kPathSize);
      continue;
    }
    // Listed twice: the entry is in the table already, and saved once.
    if (fits && IsInTable(resolved)) continue;
    Keep(i, value, fits ? resolved : L"");
  }

  SetKeepDecodersLoaded(GetPrivateProfileIntW(kOptionsSection, L"KeepDecodersLoaded", 0, file) !=
                        0);
  SetAskEveryDecoder(GetPrivateProfileIntW(kOptionsSection, L"AskEveryDecoder", 0, file) != 0);
  SetParallelDecoders(GetPrivateProfileIntW(kOptionsSection, L"ParallelDecoders", 0, file) != 0);
  const int32_t width = static_cast<int32_t>(
      GetPrivateProfileIntW(kIconSection, L"Width", kDefaultPlaceholderSide, file));
  const int32_t height = static_cast<int32_t>(
      GetPrivateProfileIntW(kIconSection, L"Height", kDefaultPlaceholderSide, file));
  SetPlaceholderSize(width, height);
}

bool SaveSettings() {
  if (g_settings_path[0] == L'\0') return false;
  const wchar_t* list[kMaxDecoders];
  const int32_t count = ListToSave(list);
  bool needs_utf16 = false;
  for (int32_t i = 0; i < count; ++i) needs_utf16 = needs_utf16 || !CodePageCanSpell(list[i]);

  // Written into a copy beside the file, which then replaces it in one step:
  // a write that fails part way (a full disk, a locked or read-only file)
  // leaves the old file as it was.
  wchar_t temporary[kPathSize + 4];
  lstrcpyW(temporary, g_settings_path);
  lstrcatW(temporary, L".new");
  const DWORD attributes = GetFileAttributesW(g_settings_path);
  const bool existed = attributes != INVALID_FILE_ATTRIBUTES;
  // A file the user made read-only is not replaced.
  if (existed && (attributes & FILE_ATTRIBUTE_READONLY) != 0) return false;
  // The file keeps its encoding: UTF-16 and UTF-8 stay so, ANSI too unless the
  // list needs UTF-16. The profile functions write into a UTF-16 copy of a
  // UTF-8 file, which becomes UTF-8 again before it replaces the file.
  const TextEncoding encoding = existed ? FileEncoding(g_settings_path) : TextEncoding::kAnsi;
  const bool via_utf16 = IsUtf8(encoding) || (needs_utf16 && encoding != TextEncoding::kUtf16);
  if (via_utf16) {
    if (!CopyText(g_settings_path, encoding, temporary, TextEncoding::kUtf16)) {
      DeleteFileW(temporary);
      return false;
    }
  } else if (existed) {
    if (!CopyFileW(g_settings_path, temporary, FALSE)) return false;
    // The copy takes the file's attributes; it must stay writable and
    // deletable whatever they are.
    SetFileAttributesW(temporary, FILE_ATTRIBUTE_NORMAL);
  } else {
    DeleteFileW(temporary);
  }
  const bool written =
      WriteList(temporary, list, count) &&
      (!IsUtf8(encoding) || CopyText(temporary, TextEncoding::kUtf16, temporary, encoding)) &&
      MoveFileExW(temporary, g_settings_path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!written) DeleteFileW(temporary);
  return written;
}

}  // namespace tavok
