#include "container/image_signature.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "lead_byte_scope.h"

namespace tavok {
namespace {

std::string Bytes(const char* text, size_t length) {
  return std::string(text, length);
}
#define B(text) Bytes(text, sizeof(text) - 1)

// The head in a buffer of exactly its size, so that the sanitizer sees any
// read past it.
const ImageFormat* Recognize(const std::string& head) {
  std::unique_ptr<uint8_t[]> exact(new uint8_t[head.size() + 1]);
  std::memcpy(exact.get(), head.data(), head.size());
  return RecognizeImageFormat(exact.get(), head.size());
}

std::string FtypBox(const std::string& major, const std::string& compatible) {
  const size_t size = 16 + compatible.size();
  std::string box = {'\0', '\0', '\0', static_cast<char>(size)};
  return box + "ftyp" + major + B("\0\0\0\0") + compatible;
}

std::string Bitmap(uint8_t header_size) {
  std::string head = B("BM\x36\x10\0\0\0\0\0\0\x36\0\0\0");
  return head + static_cast<char>(header_size) + B("\0\0\0\x40\0\0\0");
}

TEST(RecognizeImageFormat, EachSignatureGivesItsFormatAndFirstExtension) {
  const std::string png = B("\x89PNG\r\n\x1A\n\0\0\0\rIHDR");
  const struct {
    const char* label;
    std::string head;
    const char* extension;  // null: no format
  } cases[] = {
      {"PNG", png, ".png"},
      {"PNG cut inside its signature", png.substr(0, 7), nullptr},
      {"JPEG", B("\xFF\xD8\xFF\xE0\0\x10JFIF"), ".jpg"},
      {"JPEG's first three bytes alone", B("\xFF\xD8\xFF"), ".jpg"},
      {"JPEG cut to two bytes", B("\xFF\xD8"), nullptr},
      {"GIF87a", B("GIF87a\x01\0\x01\0"), ".gif"},
      {"GIF89a", B("GIF89a\x01\0\x01\0"), ".gif"},
      {"GIF of another version", B("GIF90a\x01\0"), nullptr},
      {"BMP, info header", Bitmap(40), ".bmp"},
      {"BMP, core header", Bitmap(12), ".bmp"},
      {"BMP, version 5 header", Bitmap(124), ".bmp"},
      {"BM starting text", B("BMW and other cars, a list of 2024 models\r\n"), nullptr},
      {"BMP cut before its header size", Bitmap(40).substr(0, 17), nullptr},
      {"WebP lossy", B("RIFF\x24\0\0\0WEBPVP8 "), ".webp"},
      {"WebP lossless", B("RIFF\x24\0\0\0WEBPVP8L"), ".webp"},
      {"RIFF of another form", B("RIFF\x24\0\0\0WAVEfmt "), nullptr},
      {"WebP cut in its form", B("RIFF\x24\0\0\0WEB"), nullptr},
      {"TIFF little-endian", B("II*\0\x08\0\0\0"), ".tif"},
      {"TIFF big-endian", B("MM\0*\0\0\0\x08"), ".tif"},
      {"BigTIFF little-endian", B("II+\0\x08\0\0\0"), ".tif"},
      {"BigTIFF big-endian", B("MM\0+\0\x08\0\0"), ".tif"},
      {"ICO", B("\0\0\x01\0\x01\0\x10\x10"), ".ico"},
      {"CUR", B("\0\0\x02\0\x01\0\x20\x20"), ".cur"},
      {"icon directory with no image", B("\0\0\x01\0\0\0"), nullptr},
      {"TrueType font", B("\0\x01\0\0\0\x0E\0\x80"), nullptr},
      {"AVIF", FtypBox("avif", "mif1miafMA1B"), ".avif"},
      {"AVIF sequence", FtypBox("avis", "avifmsf1"), ".avif"},
      {"AVIF under the generic major brand", FtypBox("mif1", "avifmiaf"), ".avif"},
      {"HEIC", FtypBox("heic", "mif1heic"), ".heic"},
      {"HEIF under the generic major brand", FtypBox("mif1", "heicmiaf"), ".heic"},
      {"HEIF of no codec brand", FtypBox("mif1", "miaf"), ".heic"},
      {"MP4 video", FtypBox("isom", "isomiso2avc1mp41"), nullptr},
      {"QuickTime video", FtypBox("qt  ", "qt  "), nullptr},
      {"brand past the box's end", FtypBox("isom", "mp41") + "avif", nullptr},
      {"ftyp box cut in its major brand", FtypBox("avif", "").substr(0, 11), nullptr},
      {"JPEG XL codestream", B("\xFF\x0A\xFA\x7F"), ".jxl"},
      {"JPEG XL container", B("\0\0\0\x0CJXL \r\n\x87\n\0\0\0\x14"), ".jxl"},
      {"JP2", B("\0\0\0\x0CjP  \r\n\x87\n\0\0\0\x14"), ".jp2"},
      {"JPEG 2000 codestream", B("\xFF\x4F\xFF\x51\0\x2F"), ".j2k"},
      {"QOI", B("qoif\0\0\0\x40\0\0\0\x30\x04\0"), ".qoi"},
      {"PSD", B("8BPS\0\x01\0\0\0\0\0\0"), ".psd"},
      {"PSB", B("8BPS\0\x02\0\0\0\0\0\0"), ".psb"},
      {"HTML", B("<!DOCTYPE html><html>"), nullptr},
      {"ZIP", B("PK\x03\x04\x14\0"), nullptr},
      {"empty", "", nullptr},
      {"one byte", B("\x89"), nullptr},
      {"three bytes", B("GIF"), nullptr},
  };
  for (const auto& c : cases) {
    const ImageFormat* format = Recognize(c.head);
    if (c.extension == nullptr) {
      EXPECT_EQ(format, nullptr) << c.label << ": " << (format ? format->name : "");
    } else {
      ASSERT_NE(format, nullptr) << c.label;
      EXPECT_STREQ(format->extensions[0], c.extension) << c.label;
    }
  }
}

TEST(RecognizeImageFormat, EachFormatListsTheExtensionsDecodersUse) {
  const struct {
    std::string head;
    std::string extensions;
  } cases[] = {
      {B("\x89PNG\r\n\x1A\n"), ".png .apng"},
      {B("\xFF\xD8\xFF"), ".jpg .jpeg .jpe .jfif .pjpeg .pjp"},
      {B("II*\0"), ".tif .tiff"},
      {FtypBox("heic", ""), ".heic .heif .hif .heics .heifs"},
      {B("\0\0\x02\0\x01\0"), ".cur .ico"},
      {B("\0\0\0\x0CjP  \r\n\x87\n"), ".jp2 .jpf .jpx .j2k"},
  };
  for (const auto& c : cases) {
    const ImageFormat* format = Recognize(c.head);
    ASSERT_NE(format, nullptr) << c.extensions;
    std::string listed;
    for (const char* const* e = format->extensions; *e != nullptr; ++e) {
      listed += (listed.empty() ? "" : " ") + std::string(*e);
    }
    EXPECT_EQ(listed, c.extensions);
  }
}

TEST(NameWithExtension, ReplacesOrAddsTheExtensionAndAlwaysFits) {
  const struct {
    const char* name;
    size_t size;
    const char* expected;
  } cases[] = {
      {"photo.jpg", 260, "photo.png"},
      {"GabcXYZ", 260, "GabcXYZ.png"},
      {"", 260, ".png"},
      {"a.b.c", 260, "a.b.png"},
      {"abcdefgh", 8, "abc.png"},
      {"abcdefgh.jpg", 8, "abc.png"},
      {"ab.jpg", 8, "ab.png"},
      {"abc", 4, ""},
  };
  for (const auto& c : cases) {
    char out[260];
    std::memset(out, 'x', sizeof(out));
    NameWithExtension(c.name, ".png", out, c.size);
    EXPECT_STREQ(out, c.expected) << c.name << " in " << c.size;
  }

  // Under code page 932 no character is cut in half, and a trail byte is no
  // dot's neighbour that could end the base early.
  const LeadByteScope scope(CodePage932Set());
  char out[8];
  NameWithExtension(
      "ab\x83\x41"
      "cd",
      ".png", out, sizeof(out));  // ア after "ab"
  EXPECT_STREQ(out, "ab.png");
  NameWithExtension(
      "a\x83\x41"
      "cd",
      ".png", out, sizeof(out));
  EXPECT_STREQ(out, "a\x83\x41.png") << "the whole character fits";
}

}  // namespace
}  // namespace tavok
