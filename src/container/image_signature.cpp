#include "container/image_signature.h"

#include <cstring>
#include <initializer_list>

#include "container/lead_bytes.h"

namespace tavok {
namespace {

const char* const kPngExtensions[] = {".png", ".apng", nullptr};
const char* const kJpegExtensions[] = {".jpg", ".jpeg", ".jpe", ".jfif", ".pjpeg", ".pjp", nullptr};
const char* const kGifExtensions[] = {".gif", nullptr};
const char* const kBmpExtensions[] = {".bmp", ".dib", nullptr};
const char* const kWebpExtensions[] = {".webp", nullptr};
const char* const kTiffExtensions[] = {".tif", ".tiff", nullptr};
const char* const kIcoExtensions[] = {".ico", nullptr};
const char* const kCurExtensions[] = {".cur", ".ico", nullptr};
const char* const kAvifExtensions[] = {".avif", ".avifs", nullptr};
const char* const kHeifExtensions[] = {".heic", ".heif", ".hif", ".heics", ".heifs", nullptr};
const char* const kJxlExtensions[] = {".jxl", nullptr};
const char* const kJp2Extensions[] = {".jp2", ".jpf", ".jpx", ".j2k", nullptr};
const char* const kJ2kExtensions[] = {".j2k", ".j2c", ".jpc", ".jp2", nullptr};
const char* const kQoiExtensions[] = {".qoi", nullptr};
const char* const kPsdExtensions[] = {".psd", nullptr};
const char* const kPsbExtensions[] = {".psb", ".psd", nullptr};

const ImageFormat kPng{"PNG", kPngExtensions};
const ImageFormat kJpeg{"JPEG", kJpegExtensions};
const ImageFormat kGif{"GIF", kGifExtensions};
const ImageFormat kBmp{"BMP", kBmpExtensions};
const ImageFormat kWebp{"WebP", kWebpExtensions};
const ImageFormat kTiff{"TIFF", kTiffExtensions};
const ImageFormat kIco{"ICO", kIcoExtensions};
const ImageFormat kCur{"CUR", kCurExtensions};
const ImageFormat kAvif{"AVIF", kAvifExtensions};
const ImageFormat kHeif{"HEIF", kHeifExtensions};
const ImageFormat kJxl{"JPEG XL", kJxlExtensions};
const ImageFormat kJp2{"JPEG 2000", kJp2Extensions};
const ImageFormat kJ2k{"JPEG 2000 codestream", kJ2kExtensions};
const ImageFormat kQoi{"QOI", kQoiExtensions};
const ImageFormat kPsd{"PSD", kPsdExtensions};
const ImageFormat kPsb{"PSB", kPsbExtensions};

// A fixed run of bytes from the first, or two runs with a gap between them
// whose bytes may hold anything.
struct FixedSignature {
  const char* bytes;
  size_t length;
  size_t gap_at;      // where the bytes that may hold anything start
  size_t gap_length;  // how many of them
  const ImageFormat* format;
};

#define SIG(text) text, sizeof(text) - 1
const FixedSignature kFixed[] = {
    {SIG("\x89PNG\r\n\x1A\n"), 0, 0, &kPng},
    {SIG("\xFF\xD8\xFF"), 0, 0, &kJpeg},
    {SIG("GIF87a"), 0, 0, &kGif},
    {SIG("GIF89a"), 0, 0, &kGif},
    // RIFF, the chunk's size, then the WebP form and the start of its first
    // chunk's name (VP8, VP8L or VP8X).
    {SIG("RIFFWEBPVP"), 4, 4, &kWebp},
    {SIG("II*\0"), 0, 0, &kTiff},
    {SIG("MM\0*"), 0, 0, &kTiff},
    {SIG("II+\0"), 0, 0, &kTiff},  // BigTIFF
    {SIG("MM\0+"), 0, 0, &kTiff},
    {SIG("\0\0\0\x0CJXL \r\n\x87\n"), 0, 0, &kJxl},
    {SIG("\xFF\x0A"), 0, 0, &kJxl},
    {SIG("\0\0\0\x0CjP  \r\n\x87\n"), 0, 0, &kJp2},
    {SIG("\xFF\x4F\xFF\x51"), 0, 0, &kJ2k},
    {SIG("qoif"), 0, 0, &kQoi},
    {SIG("8BPS\0\x01"), 0, 0, &kPsd},
    {SIG("8BPS\0\x02"), 0, 0, &kPsb},
};
#undef SIG

bool Matches(const FixedSignature& signature, const uint8_t* head, size_t size) {
  if (size < signature.length + signature.gap_length) return false;
  const size_t before = signature.gap_length > 0 ? signature.gap_at : signature.length;
  if (std::memcmp(head, signature.bytes, before) != 0) return false;
  const size_t after = signature.length - before;
  return std::memcmp(head + before + signature.gap_length, signature.bytes + before, after) == 0;
}

uint32_t LittleEndian32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint32_t BigEndian32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

// "BM" also starts text ("BMW", "BM25"): the info header's size that follows
// the 14-byte file header must be one of those the format has had.
const ImageFormat* Bitmap(const uint8_t* head, size_t size) {
  if (size < 18 || head[0] != 'B' || head[1] != 'M') return nullptr;
  switch (LittleEndian32(head + 14)) {
    case 12:   // OS/2 1.x, BITMAPCOREHEADER
    case 16:   // OS/2 2.x, short form
    case 40:   // BITMAPINFOHEADER
    case 52:   // with RGB masks
    case 56:   // with RGBA masks
    case 64:   // OS/2 2.x
    case 108:  // BITMAPV4HEADER
    case 124:  // BITMAPV5HEADER
      return &kBmp;
    default:
      return nullptr;
  }
}

// Reserved zero, the type (1 icon, 2 cursor), then a count that is not zero.
const ImageFormat* IconDirectory(const uint8_t* head, size_t size) {
  if (size < 6 || head[0] != 0 || head[1] != 0 || head[3] != 0) return nullptr;
  if (head[4] == 0 && head[5] == 0) return nullptr;
  if (head[2] == 1) return &kIco;
  if (head[2] == 2) return &kCur;
  return nullptr;
}

bool IsBrand(const uint8_t* brand, const char* const* brands) {
  for (; *brands != nullptr; ++brands) {
    if (std::memcmp(brand, *brands, 4) == 0) return true;
  }
  return false;
}

const char* const kAvifBrands[] = {"avif", "avis", nullptr};
const char* const kHeifBrands[] = {"heic", "heix", "heim", "heis", "hevc",
                                   "hevx", "hevm", "hevs", nullptr};
// The generic image brands, which an AVIF or HEIC file lists beside its own.
const char* const kImageBrands[] = {"mif1", "msf1", "mif2", nullptr};

// An ISO base media file starts with its ftyp box: its size, "ftyp", the
// major brand, a minor version, then compatible brands to the box's end.
// Videos (isom, mp42, qt) share the box; only the image brands count.
const ImageFormat* FileTypeBox(const uint8_t* head, size_t size) {
  if (size < 12 || std::memcmp(head + 4, "ftyp", 4) != 0) return nullptr;
  const uint32_t box = BigEndian32(head);
  if (box < 16 || box % 4 != 0) return nullptr;
  const size_t end = box < size ? box : size - size % 4;
  bool image = false;
  // The major brand at 8, then the compatible ones from 16 on.
  for (size_t at = 8; at + 4 <= end; at += at == 8 ? 8 : 4) {
    const uint8_t* brand = head + at;
    if (IsBrand(brand, kAvifBrands)) return &kAvif;
    if (IsBrand(brand, kHeifBrands)) return &kHeif;
    image = image || IsBrand(brand, kImageBrands);
  }
  return image ? &kHeif : nullptr;
}

}  // namespace

const ImageFormat* RecognizeImageFormat(const uint8_t* head, size_t size) {
  if (head == nullptr) return nullptr;
  for (const FixedSignature& signature : kFixed) {
    if (Matches(signature, head, size)) return signature.format;
  }
  using Recognizer = const ImageFormat* (*)(const uint8_t*, size_t);
  for (const Recognizer recognize : {&Bitmap, &IconDirectory, &FileTypeBox}) {
    if (const ImageFormat* format = recognize(head, size)) return format;
  }
  return nullptr;
}

void NameWithExtension(const char* name, const char* extension, char* out, size_t out_size) {
  const size_t extension_length = std::strlen(extension);
  if (out_size <= extension_length) {
    if (out_size > 0) out[0] = '\0';
    return;
  }
  const size_t room = out_size - 1 - extension_length;
  // The base ends at the last dot outside a double-byte character, and is
  // cut, a whole character at a time, to the room left.
  size_t base = 0;
  size_t dot = static_cast<size_t>(-1);
  for (size_t at = 0; name[at] != '\0';) {
    const size_t width =
        IsLeadByte(static_cast<unsigned char>(name[at])) && name[at + 1] != '\0' ? 2 : 1;
    if (width == 1 && name[at] == '.') dot = at;
    at += width;
    if (at <= room) base = at;
  }
  if (dot != static_cast<size_t>(-1) && dot < base) base = dot;
  std::memcpy(out, name, base);
  std::memcpy(out + base, extension, extension_length + 1);
}

}  // namespace tavok
