// Which image format a payload holds, told from its first bytes the way
// browsers tell it, whatever name the download had: servers answer a ".jpg"
// URL with WebP or PNG bytes, and many picture URLs have no extension at all.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavok {

struct ImageFormat {
  const char* name;
  // Dotted, lower case, the one a decoder is most likely to expect first;
  // ends with a null entry.
  const char* const* extensions;
};

// The format whose signature the head starts with, or null when it starts
// with none. Reads at most size bytes of head, and only as many as the
// signature needs, so any size (0 included) is safe.
const ImageFormat* RecognizeImageFormat(const uint8_t* head, size_t size);

// name with its extension (from its last dot, double-byte aware) replaced by
// extension, or extension appended when name has none, into out (out_size
// bytes, at least extension's length + 1): the base is cut short so that the
// extension always fits.
void NameWithExtension(const char* name, const char* extension, char* out, size_t out_size);

}  // namespace tavok
