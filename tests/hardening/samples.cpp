#include "samples.h"

#include "pure/container_builder.h"

namespace tavok::testing {

const std::vector<std::string>& SampleDecoders() {
  static const std::vector<std::string> decoders = {
      "fx_decline", "fx_png", "fx_raw_text", "fx_fail_outputs", "fx_fail_picture", "fx_long_list"};
  return decoders;
}

namespace {

// Literal bytes, zero bytes included.
template <size_t N>
std::string Bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

}  // namespace

const std::vector<Sample>& Samples() {
  static const std::string png = Bytes("\x89PNG\r\n\x1A\n\0\0\0\rIHDR") + std::string(40, '\x11');
  static const std::vector<Sample> samples = {
      {"png", MakeContainer(HeaderFor("http://example.com/img/pic.png?size=2"), png)},
      {"jpg", MakeContainer(HeaderFor("http://example.com/photo.jpg"), "\xFF\xD8\xFF\xE0jpeg")},
      {"zip", MakeContainer(HeaderFor("http://example.com/files/archive.zip"), "PK\x03\x04zip")},
      {"bmp", MakeContainer(HeaderFor("http://example.com/a.bmp"), "BM bitmap bytes")},
      {"tif", MakeContainer(HeaderFor("http://example.com/scan.tif"), Bytes("II*\0tiff"))},
      {"raw", MakeContainer(HeaderFor("http://example.com/x.raw"), "raw bytes")},
      {"a10", MakeContainer(HeaderFor("http://example.com/list.a10"), "listed late")},
      {"cp932", MakeContainer(HeaderFor("http://example.jp/\x83\x5C/\x95\x5C.png"), png)},
      {"broken", MakeContainerWithLength(400, HeaderFor("http://example.com/a.png"), png)},
  };
  return samples;
}

}  // namespace tavok::testing
