#include "settings/settings_file.h"

#include <windows.h>

#include <cstring>

#include "container/file_paths.h"
#include "container/profile_text.h"
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

// An entry of the file that was not registered, and its index there.
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

// Each entry the file listed and the table took, its index and its value as
// written there.
struct LoadedEntry {
  int32_t index;
  wchar_t path[kPathSize];
  wchar_t value[kPathSize];
};
LoadedEntry g_loaded[kMaxDecoders];
int32_t g_loaded_count = 0;

// Set when the file exists and cannot be read whole in its own encoding:
// nothing is registered from it, and no save may replace it with a list that
// lacks what it holds.
bool g_unreadable = false;

const LoadedEntry* LoadedEntryFor(const wchar_t* table_path) {
  for (int32_t i = 0; i < g_loaded_count; ++i) {
    if (lstrcmpiW(g_loaded[i].path, table_path) == 0) return &g_loaded[i];
  }
  return nullptr;
}

// The list to save: the table's entries in its order, which is the order the
// dialog shows, and each kept entry that has not been registered since in its
// place among them: after the entry from the file that came before it there
// and is still listed, or first. An entry from the file is saved as it was
// written there: a path relative to tavok's folder stays relative, so that a
// viewer folder that moves, or a drive that comes back under another letter,
// keeps its decoders. A decoder added since is saved as it was picked.
int32_t ListToSave(const wchar_t* list[kMaxDecoders]) {
  const int32_t table_count = DecoderCount();
  const LoadedEntry* loaded[kMaxDecoders];
  for (int32_t i = 0; i < table_count; ++i) loaded[i] = LoadedEntryFor(DecoderAt(i).path);
  // Per kept entry: the table index it follows, -1 for first, or -2 when it
  // has been registered since and is saved as a table entry.
  int32_t after[kMaxDecoders];
  for (int32_t k = 0; k < g_kept_count; ++k) {
    after[k] = IsInTable(g_kept[k].resolved) ? -2 : -1;
    int32_t nearest = -1;
    for (int32_t i = 0; i < table_count && after[k] != -2; ++i) {
      if (loaded[i] != nullptr && loaded[i]->index < g_kept[k].index &&
          loaded[i]->index > nearest) {
        nearest = loaded[i]->index;
        after[k] = i;
      }
    }
  }
  int32_t count = 0;
  for (int32_t i = -1; i < table_count; ++i) {
    if (i >= 0 && count < kMaxDecoders) {
      list[count++] = loaded[i] != nullptr ? loaded[i]->value : DecoderAt(i).path;
    }
    for (int32_t k = 0; k < g_kept_count; ++k) {
      if (after[k] == i && count < kMaxDecoders) list[count++] = g_kept[k].value;
    }
  }
  return count;
}

// The settings a release ships, beside tavok.ini rather than as it, so that a
// release unzipped over an install never replaces the user's list: read, and
// saved into tavok.ini, only while there is no tavok.ini.
constexpr wchar_t kDefaultsEnding[] = L".default.ini";

// The text to read the settings from: tavok.ini, or while there is none the
// defaults beside it; kMissing, with no text, when neither can be read.
SettingsText::Status ReadSettingsText(SettingsText* file) {
  const SettingsText::Status status = file->Read(g_settings_path);
  if (status != SettingsText::kMissing) return status;
  // tavok.ini's path ends in ".ini".
  const size_t stem = static_cast<size_t>(lstrlenW(g_settings_path)) - 4;
  wchar_t defaults[kPathSize];
  if (stem + sizeof(kDefaultsEnding) / sizeof(wchar_t) > static_cast<size_t>(kPathSize)) {
    return SettingsText::kMissing;
  }
  std::memcpy(defaults, g_settings_path, stem * sizeof(wchar_t));
  std::memcpy(defaults + stem, kDefaultsEnding, sizeof(kDefaultsEnding));
  return file->Read(defaults) == SettingsText::kRead ? SettingsText::kRead : SettingsText::kMissing;
}

bool CodePageCanSpell(const wchar_t* text) {
  BOOL lossy = FALSE;
  return WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, nullptr, 0, nullptr, &lossy) !=
             0 &&
         !lossy;
}

// The first value of key in the decoder section, as a path: false when it is
// absent, empty, or longer than a path holds (cut to a path's length it could
// name another module than the one listed).
bool ReadDecoderValue(std::wstring_view text, const wchar_t* key, wchar_t value[kPathSize]) {
  std::wstring_view found;
  if (!FindProfileValue(text, kDecoderSection, key, &found)) return false;
  // A value stops at a zero, as the profile functions read it.
  const size_t end = found.find(L'\0');
  if (end != std::wstring_view::npos) found.remove_suffix(found.size() - end);
  if (found.empty() || found.size() >= static_cast<size_t>(kPathSize)) return false;
  std::memcpy(value, found.data(), found.size() * sizeof(wchar_t));
  value[found.size()] = L'\0';
  return true;
}

void RegisterListed(std::wstring_view text) {
  int32_t count = FindProfileInt(text, kDecoderSection, L"Count", 0);
  if (count >= kMaxDecoders) count = kMaxDecoders;
  for (int32_t i = 0; i < count; ++i) {
    wchar_t key[6];
    DecoderKey(i, key);
    wchar_t value[kPathSize];
    if (!ReadDecoderValue(text, key, value)) continue;
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
}

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
  SetMatchContent(true);
  SetParallelDecoders(false);
  g_kept_count = 0;
  g_loaded_count = 0;
  g_unreadable = false;
  if (!FindSettingsPath(g_settings_path)) return;
  SettingsText file;
  const SettingsText::Status status = ReadSettingsText(&file);
  g_unreadable = status == SettingsText::kUnreadable;
  if (status != SettingsText::kRead) return;
  const std::wstring_view text = file.text();
  RegisterListed(text);
  SetKeepDecodersLoaded(FindProfileInt(text, kOptionsSection, L"KeepDecodersLoaded", 0) != 0);
  SetAskEveryDecoder(FindProfileInt(text, kOptionsSection, L"AskEveryDecoder", 0) != 0);
  SetMatchContent(FindProfileInt(text, kOptionsSection, L"MatchContent", 1) != 0);
  SetParallelDecoders(FindProfileInt(text, kOptionsSection, L"ParallelDecoders", 0) != 0);
  SetPlaceholderSize(FindProfileInt(text, kIconSection, L"Width", kDefaultPlaceholderSide),
                     FindProfileInt(text, kIconSection, L"Height", kDefaultPlaceholderSide));
}

void RemoveListedDecoder(int32_t index) {
  if (index < 0 || index >= DecoderCount()) return;
  // Deleted, an entry loses the spelling it had in the file: added again, it
  // is saved as it was picked.
  const wchar_t* path = DecoderAt(index).path;
  for (int32_t i = 0; i < g_loaded_count; ++i) {
    if (lstrcmpiW(g_loaded[i].path, path) != 0) continue;
    g_loaded[i] = g_loaded[--g_loaded_count];
    break;
  }
  RemoveDecoder(index);
}

bool SaveSettings() {
  if (g_settings_path[0] == L'\0' || g_unreadable) return false;
  // A file the user made read-only is not replaced.
  const DWORD attributes = GetFileAttributesW(g_settings_path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    return false;
  }
  // Read again: the sections and keys around the list are saved as they are
  // now, whoever changed them since. The first save starts from the defaults,
  // so that their other sections stay in effect.
  SettingsText file;
  if (ReadSettingsText(&file) == SettingsText::kUnreadable) return false;

  const wchar_t* list[kMaxDecoders];
  const int32_t count = ListToSave(list);
  bool needs_utf16 = false;
  for (int32_t i = 0; i < count; ++i) needs_utf16 = needs_utf16 || !CodePageCanSpell(list[i]);
  // The file keeps its encoding; an ANSI one becomes UTF-16 when the list
  // holds a path the code page cannot spell.
  TextEncoding encoding = file.encoding();
  if (encoding == TextEncoding::kAnsi && needs_utf16) encoding = TextEncoding::kUtf16;

  wchar_t count_text[3] = {};  // 0 to 10
  if (count >= 10) {
    count_text[0] = L'1';
    count_text[1] = static_cast<wchar_t>(L'0' + count - 10);
  } else {
    count_text[0] = static_cast<wchar_t>(L'0' + count);
  }
  wchar_t keys[kMaxDecoders][6];
  ProfileEdit edits[1 + kMaxDecoders] = {{L"Count", count_text}};
  for (int32_t i = 0; i < kMaxDecoders; ++i) {
    DecoderKey(i, keys[i]);
    // Keys beyond Count are removed: nothing stale is left to come back.
    edits[1 + i] = {keys[i], i < count ? list[i] : nullptr};
  }
  const size_t edit_count = sizeof(edits) / sizeof(edits[0]);
  return ReplaceSettingsFile(g_settings_path, file, kDecoderSection, edits, edit_count, encoding);
}

}  // namespace tavok
