// The handle on one decoder plug-in: where its module lives, what it declared
// about itself, and calls into its exports. A table entry holds a library
// reference only while decoders are kept loaded; each registration and each
// picture request loads the module into a handle of its own.
#pragma once

#include <windows.h>

#include <cstdint>
#include <utility>

#include "host/handles.h"
#include "host/susie.h"

namespace tavok {

constexpr int kDecoderPathSize = 260;
constexpr int kDecoderPatternsSize = 256;
constexpr int kDecoderDescriptionSize = 260;
constexpr int kDecoderDescriptionMax = 258;
// QuerySupported's answer when the decoder cannot be asked without waiting
// for ever (see decoder_call).
constexpr int32_t kNotAsked = -1;

class DecoderPlugin {
 public:
  DecoderPlugin() = default;
  // Releases the library if it is still loaded.
  virtual ~DecoderPlugin() = default;
  DecoderPlugin(const DecoderPlugin&) = delete;
  DecoderPlugin& operator=(const DecoderPlugin&) = delete;

  // Releases the library, stores path (truncated to 259 characters), then
  // Load. The ANSI form takes a path in the ANSI code page.
  int SetPath(const wchar_t* path);
  int SetPath(const char* path);
  // 1 when the library is loaded (already, or now), 0 when it cannot be.
  int Load();
  // 1 when a loaded library was released, else 0.
  int Unload();
  bool IsLoaded() const { return static_cast<bool>(library_); }
  HMODULE library() const { return library_.get(); }
  // Hands the library reference over, leaving this unloaded; and takes one.
  unique_hmodule TakeLibrary() { return std::move(library_); }
  void KeepLibrary(unique_hmodule library) { library_ = std::move(library); }

  // Forwarded calls; each looks its export up anew. QueryInfo's buffer must
  // hold length + 1 bytes: the text is always left terminated inside it.
  // QuerySupported answers 1 or 0, or kNotAsked; the picture calls return
  // kDecoderBusy, and QueryInfo 0, for a call that would wait for ever.
  int32_t QueryInfo(int32_t number, char* buffer, int32_t length);
  int32_t QuerySupported(const char* name, const void* head);
  int32_t HasConfigurationDialog();
  // A decoder that writes no handle leaves info->text null. On 64-bit, the
  // record is read whether the decoder wrote it with the padding after the
  // colour depth or without it.
  int32_t QueryPictureInfo(const void* data, int32_t size, uint32_t flag, PictureInfo* info);
  // A null progress callback is replaced by one that never aborts.
  int32_t QueryPicture(const void* data, int32_t size, uint32_t flag, HLOCAL* bitmap_info,
                       HLOCAL* bitmap_bits, ProgressCallback progress, LONG_PTR user);

  // Appends pattern and ";" when the text stays below 256 bytes.
  void AppendPattern(const char* pattern);
  // 1 when some pattern entry, without its first character, equals extension
  // (dot included) ignoring case.
  int MatchesExtension(const char* extension) const;

  // Takes over other's library and copies its declared information; other is
  // left unloaded. Used to keep the table compact.
  void MoveFrom(DecoderPlugin& other);
  // Empties patterns and description.
  void ClearDeclarations();

  wchar_t path[kDecoderPathSize] = {};
  char patterns[kDecoderPatternsSize] = {};
  char description[kDecoderDescriptionSize] = {};
  uint8_t category = 0;
  int32_t has_configuration = 0;

 private:
  template <typename Fn>
  Fn Lookup(const char* name) const;

  unique_hmodule library_;
};

}  // namespace tavok
