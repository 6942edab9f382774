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
    CopyTruncated(resolved, kPathSize, value);
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

}  // namespace

const char* SettingsPath() {
  return g_settings_path;
}

void LoadSettings() {
  UnloadAllDecoders();
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
    char resolved[kPathSize];
    if (!ResolveDecoderPath(value, resolved)) continue;
    RegisterDecoder(resolved);
  }

  const int32_t width = static_cast<int32_t>(
      GetPrivateProfileIntA(kIconSection, "Width", kDefaultPlaceholderSide, g_settings_path));
  const int32_t height = static_cast<int32_t>(
      GetPrivateProfileIntA(kIconSection, "Height", kDefaultPlaceholderSide, g_settings_path));
  SetPlaceholderSize(width, height);
}

void SaveSettings() {
  if (g_settings_path[0] == '\0') return;
  char count[12];
  std::snprintf(count, sizeof(count), "%d", static_cast<int>(DecoderCount()));
  WritePrivateProfileStringA(kDecoderSection, "Count", count, g_settings_path);
  for (int32_t i = 0; i < DecoderCount(); ++i) {
    char key[6];
    DecoderKey(i, key);
    WritePrivateProfileStringA(kDecoderSection, key, DecoderAt(i).path, g_settings_path);
  }
}

}  // namespace tavok
