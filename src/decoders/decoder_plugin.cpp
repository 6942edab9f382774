#include "decoders/decoder_plugin.h"

#include <cstring>

#include "container/mbcs.h"

namespace tavok {
namespace {

int __stdcall NeverAbort(int, int, int32_t) {
  return 0;
}

}  // namespace

template <typename Fn>
Fn DecoderPlugin::Lookup(const char* name) const {
  return library_ ? FindExport<Fn>(library_.get(), name) : nullptr;
}

int DecoderPlugin::SetPath(const char* new_path) {
  Unload();
  CopyTruncated(path, sizeof(path), new_path);
  return Load();
}

int DecoderPlugin::Load() {
  if (library_) return 1;
  // A listed decoder that is missing or broken must not make the platform put
  // up an error box in the middle of the user's viewer.
  DWORD previous_mode = 0;
  const BOOL mode_set =
      SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous_mode);
  library_.reset(LoadLibraryA(path));
  if (mode_set) SetThreadErrorMode(previous_mode, nullptr);
  return library_ ? 1 : 0;
}

int DecoderPlugin::Unload() {
  if (!library_) return 0;
  library_.reset();
  return 1;
}

int32_t DecoderPlugin::QueryInfo(int32_t number, char* buffer, int32_t length) {
  auto get_plugin_info = Lookup<GetPluginInfoFn>("GetPluginInfo");
  if (get_plugin_info == nullptr) return 0;
  const int32_t n = get_plugin_info(number, buffer, length);
  // A decoder may report more than it was given, or a negative count; the text
  // is then cut at the buffer's end rather than left unterminated.
  if (n >= 0 && n <= length) {
    buffer[n] = '\0';
  } else if (length >= 0) {
    buffer[length] = '\0';
  }
  return n;
}

int32_t DecoderPlugin::QuerySupported(const char* name, const void* head) {
  auto is_supported = Lookup<IsSupportedFn>("IsSupported");
  if (is_supported == nullptr) return 0;
  return is_supported(name, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(head)));
}

int32_t DecoderPlugin::HasConfigurationDialog() {
  return Lookup<FARPROC>("ConfigurationDlg") == nullptr ? -1 : 1;
}

int32_t DecoderPlugin::QueryPictureInfo(const void* data, int32_t size, uint32_t flag,
                                        PictureInfo* info) {
  auto get_picture_info = Lookup<GetPictureInfoFn>("GetPictureInfo");
  if (get_picture_info == nullptr) return kMissingEntryPoint;
  return get_picture_info(static_cast<const char*>(data), size, flag, info);
}

int32_t DecoderPlugin::QueryPicture(const void* data, int32_t size, uint32_t flag,
                                    HLOCAL* bitmap_info, HLOCAL* bitmap_bits,
                                    ProgressCallback progress, int32_t user) {
  auto get_picture = Lookup<GetPictureFn>("GetPicture");
  if (get_picture == nullptr) return kMissingEntryPoint;
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
  CopyTruncated(work, 254, patterns);
  char* piece = work;
  for (;;) {
    char* separator = FindChar(piece, ';');
    if (separator == nullptr) return 0;
    *separator = '\0';
    // The entry's first character (the "*" of "*.ext") is skipped, whatever it
    // is; an empty entry has none to skip and matches nothing.
    if (piece[0] != '\0' && lstrcmpiA(piece + 1, extension) == 0) return 1;
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
