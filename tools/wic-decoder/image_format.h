// The formats the example decoder hands to the Windows Imaging Component,
// recognised by their first bytes alone.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavok::wic {

enum class ImageFormat { kNone, kPng, kJpeg, kGif, kBmp, kTiff, kIco };

// The format whose signature starts head, which holds size readable bytes.
ImageFormat DetectImageFormat(const uint8_t* head, size_t size);

// A short name for text information ("PNG", "JPEG" ...); "" for kNone.
const char* ImageFormatName(ImageFormat format);

}  // namespace tavok::wic
