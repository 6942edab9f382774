#include "image_format.h"

#include <cstring>

namespace tavok::wic {
namespace {

bool StartsWith(const uint8_t* head, size_t size, const char* signature, size_t length) {
  return size >= length && std::memcmp(head, signature, length) == 0;
}

uint32_t ReadLe32(const uint8_t* bytes) {
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// "BM" alone is too weak a signature: text files start with it too. The
// header that follows the 14-byte file header must have a known size.
bool IsBmp(const uint8_t* head, size_t size) {
  if (!StartsWith(head, size, "BM", 2) || size < 18) return false;
  switch (ReadLe32(head + 14)) {
    case 12:   // OS/2 core header
    case 40:   // BITMAPINFOHEADER
    case 52:   // with RGB masks
    case 56:   // with RGBA masks
    case 64:   // OS/2 2.x
    case 108:  // BITMAPV4HEADER
    case 124:  // BITMAPV5HEADER
      return true;
    default:
      return false;
  }
}

// Icons have no magic of their own beyond a reserved 0 and type 1: a count of
// at least one image and a reserved 0 in the first directory entry narrow it.
bool IsIco(const uint8_t* head, size_t size) {
  return StartsWith(head, size, "\0\0\1\0", 4) && size >= 10 && (head[4] | head[5] << 8) != 0 &&
         head[9] == 0;
}

}  // namespace

ImageFormat DetectImageFormat(const uint8_t* head, size_t size) {
  if (head == nullptr) return ImageFormat::kNone;
  if (StartsWith(head, size, "\x89PNG\r\n\x1a\n", 8)) return ImageFormat::kPng;
  if (StartsWith(head, size, "\xff\xd8\xff", 3)) return ImageFormat::kJpeg;
  if (StartsWith(head, size, "GIF87a", 6) || StartsWith(head, size, "GIF89a", 6)) {
    return ImageFormat::kGif;
  }
  if (IsBmp(head, size)) return ImageFormat::kBmp;
  if (StartsWith(head, size, "II*\0", 4) || StartsWith(head, size, "MM\0*", 4)) {
    return ImageFormat::kTiff;
  }
  if (IsIco(head, size)) return ImageFormat::kIco;
  return ImageFormat::kNone;
}

const char* ImageFormatName(ImageFormat format) {
  switch (format) {
    case ImageFormat::kPng:
      return "PNG";
    case ImageFormat::kJpeg:
      return "JPEG";
    case ImageFormat::kGif:
      return "GIF";
    case ImageFormat::kBmp:
      return "BMP";
    case ImageFormat::kTiff:
      return "TIFF";
    case ImageFormat::kIco:
      return "ICO";
    case ImageFormat::kNone:
      break;
  }
  return "";
}

}  // namespace tavok::wic
