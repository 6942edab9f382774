#include "settings/settings_file.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "container/file_paths.h"
#include "container/mbcs.h"
#include "decoders/decoder_table.h"
#include "placeholder/placeholder.h"
#include "settings/module_lifecycle.h"

namespace tavok {
namespace {

constexpr int kPathSize = MAX_PATH;
constexpr char kDecoderSection[] = "SPI";
constexpr char kIconSection[] = "Icon";

char g_settings_path[kPathSize] = {};

// An entry of the file that was not registered, and its place in the list.
struct KeptEntry {
  int32_t index;
  char value[kPathSize];     // as written
  char resolved[kPathSize];  // as it would have been registered; may be empty
};
KeptEntry g_kept[kMaxDecoders];
int32_t g_kept_count = 0;

// "Path" and one decimal digit: entries beyond Path9 do not exist.
void DecoderKey(int32_t index, char key[6]) {
  std::memcpy(key, "Path", 4);
  key[4] = static_cast<char>('0' + index);
  key[5] = '\0';
}

// Derives tavok.ini from the module's own path: everything from the last
// dot is replaced by ".ini".
bool FindSettingsPath(char path[kPathSize]) {
  const DWORD length = GetModuleFileNameA(ModuleHandle(), path, kPathSize);
  // A truncated name would point at another folder's settings.
  if (length == 0 || length >= static_cast<DWORD>(kPathSize)) {
    path[0] = '\0';
    return false;
  }
  char* dot = FindLastChar(path, '.');
  char* end = dot != nullptr ? dot : path + length;
  if (end - path + 5 > kPathSize) {
    path[0] = '\0';
    return false;
  }
  std::memcpy(end, ".ini", 5);
  return true;
}

// A value that is not a full path names a file relative to the module's own
// folder: relative to the host's current folder, which is whatever folder the
// viewer last showed, it would load nothing, or whatever DLL lies there. The
// joined path is refused when it would not fit: cut short, it could name a
// different module from the one the user listed.
bool ResolveDecoderPath(const char* value, char resolved[kPathSize]) {
  if (IsFullPath(value)) {
    lstrcpynA(resolved, value, kPathSize);
    return true;
  }
  const char* last_backslash = FindLastChar(g_settings_path, '\\');
  const size_t folder_length =
      last_backslash != nullptr ? static_cast<size_t>(last_backslash - g_settings_path) + 1 : 0;
  const size_t value_length = std::strlen(value);
  if (folder_length + value_length + 1 > static_cast<size_t>(kPathSize)) return false;
  std::memcpy(resolved, g_settings_path, folder_length);
  std::memcpy(resolved + folder_length, value, value_length + 1);
  return true;
}

void Keep(int32_t index, const char* value, const char* resolved) {
  KeptEntry& entry = g_kept[g_kept_count++];
  entry.index = index;
  lstrcpynA(entry.value, value, sizeof(entry.value));
  lstrcpynA(entry.resolved, resolved, sizeof(entry.resolved));
}

bool IsInTable(const char* path) {
  for (int32_t i = 0; i < DecoderCount(); ++i) {
    if (path[0] != '\0' && lstrcmpiA(DecoderAt(i).path, path) == 0) return true;
  }
  return false;
}

// Where each entry the file listed and the table took stood in the file.
struct LoadedEntry {
  int32_t index;
  char path[kPathSize];
};
LoadedEntry g_loaded[kMaxDecoders];
int32_t g_loaded_count = 0;

// An entry's place in the saved list: its index in the file, or after every
// one of those for a decoder added since.
int32_t PlaceOf(const char* table_path, int32_t table_index) {
  for (int32_t i = 0; i < g_loaded_count; ++i) {
    if (lstrcmpiA(g_loaded[i].path, table_path) == 0) return g_loaded[i].index;
  }
  return kMaxDecoders + table_index;
}

// The list to save: the table's paths and the kept entries that have not been
// registered since, each in its place.
int32_t ListToSave(const char* list[kMaxDecoders]) {
  struct Placed {
    int32_t place;
    const char* value;
  } placed[2 * kMaxDecoders];
  int32_t count = 0;
  for (int32_t i = 0; i < DecoderCount(); ++i) {
    placed[count++] = {PlaceOf(DecoderAt(i).path, i), DecoderAt(i).path};
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
bool WriteList(const char* path, const char* const list[], int32_t count) {
  char text[12];
  std::snprintf(text, sizeof(text), "%d", static_cast<int>(count));
  if (!WritePrivateProfileStringA(kDecoderSection, "Count", text, path)) return false;
  for (int32_t i = 0; i < kMaxDecoders; ++i) {
    char key[6];
    DecoderKey(i, key);
    const char* value = i < count ? list[i] : nullptr;  // null removes the key
    if (!WritePrivateProfileStringA(kDecoderSection, key, value, path) && value != nullptr) {
      return false;
    }
  }
  return true;
}

}  // namespace

const char* SettingsPath() {
  return g_settings_path;
}

int32_t KeptEntryCount() {
  return g_kept_count;
}

void LoadSettings() {
  UnloadAllDecoders();
  g_kept_count = 0;
  g_loaded_count = 0;
  if (!FindSettingsPath(g_settings_path)) return;
  if (GetFileAttributesA(g_settings_path) == INVALID_FILE_ATTRIBUTES) return;

  int32_t count =
      static_cast<int32_t>(GetPrivateProfileIntA(kDecoderSection, "Count", 0, g_settings_path));
  if (count >= kMaxDecoders) count = kMaxDecoders;
  for (int32_t i = 0; i < count; ++i) {
    char key[6];
    DecoderKey(i, key);
    // One byte more than a path holds: a value that fills it was cut by the
    // profile reader, and cut to a path's length it could name another module
    // than the one listed.
    char value[kPathSize + 1] = {};
    GetPrivateProfileStringA(kDecoderSection, key, "", value, sizeof(value), g_settings_path);
    if (value[0] == '\0' || std::strlen(value) >= static_cast<size_t>(kPathSize)) continue;
    char resolved[kPathSize] = {};
    const bool fits = ResolveDecoderPath(value, resolved);
    if (fits && RegisterDecoder(resolved)) {
      g_loaded[g_loaded_count].index = i;
      lstrcpynA(g_loaded[g_loaded_count++].path, resolved, kPathSize);
      continue;
    }
    // Listed twice: the entry is in the table already, and saved once.
    if (fits && IsInTable(resolved)) continue;
    Keep(i, value, fits ? resolved : "");
  }

  const int32_t width = static_cast<int32_t>(
      GetPrivateProfileIntA(kIconSection, "Width", kDefaultPlaceholderSide, g_settings_path));
  const int32_t height = static_cast<int32_t>(
      GetPrivateProfileIntA(kIconSection, "Height", kDefaultPlaceholderSide, g_settings_path));
  SetPlaceholderSize(width, height);
}

bool SaveSettings() {
  if (g_settings_path[0] == '\0') return false;
  const char* list[kMaxDecoders];
  const int32_t count = ListToSave(list);

  // Written into a copy beside the file, which then replaces it in one step:
  // a write that fails part way (a full disk, a locked or read-only file)
  // leaves the old file as it was.
  char temporary[kPathSize + 4];
  std::snprintf(temporary, sizeof(temporary), "%s.new", g_settings_path);
  const DWORD attributes = GetFileAttributesA(g_settings_path);
  const bool existed = attributes != INVALID_FILE_ATTRIBUTES;
  // A file the user made read-only is not replaced.
  if (existed && (attributes & FILE_ATTRIBUTE_READONLY) != 0) return false;
  if (existed && !CopyFileA(g_settings_path, temporary, FALSE)) return false;
  // The copy takes the file's attributes; it must stay writable and
  // deletable whatever they are.
  if (existed) SetFileAttributesA(temporary, FILE_ATTRIBUTE_NORMAL);
  if (!existed) DeleteFileA(temporary);
  const bool written =
      WriteList(temporary, list, count) &&
      MoveFileExA(temporary, g_settings_path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!written) DeleteFileA(temporary);
  return written;
}

}  // namespace tavok
