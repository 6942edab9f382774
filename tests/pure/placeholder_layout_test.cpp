#include "placeholder/placeholder_layout.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "container/lead_bytes.h"
#include "lead_byte_scope.h"

namespace tavok {
namespace {

TEST(PlaceholderLayout, ImageSizeIsRowBytesTimesHeight) {
  EXPECT_EQ(PlaceholderRowBytes(48), 144u);
  EXPECT_EQ(PlaceholderImageSize(48, 48), 48u * 144u);
  // 38 words per row: 150 bytes of pixels and 2 of padding.
  EXPECT_EQ(PlaceholderRowBytes(50), 152u);
}

TEST(PlaceholderLayout, RowBytesAreWholeWords) {
  EXPECT_EQ(PlaceholderRowBytes(1), 4u);
  EXPECT_EQ(PlaceholderRowBytes(2), 8u);
  EXPECT_EQ(PlaceholderRowBytes(3), 12u);
  EXPECT_EQ(PlaceholderRowBytes(4), 12u);
  EXPECT_EQ(PlaceholderRowBytes(5), 16u);
  EXPECT_EQ(PlaceholderRowBytes(kMaxPlaceholderSide), 3u * kMaxPlaceholderSide);
  EXPECT_EQ(PlaceholderImageSize(kMaxPlaceholderSide, kMaxPlaceholderSide),
            3u * kMaxPlaceholderSide * kMaxPlaceholderSide);
}

TEST(PlaceholderLayout, WordCountIsSixteenBits) {
  EXPECT_EQ(PlaceholderRowBytes(87380), 4u * 65535u);
  EXPECT_EQ(PlaceholderRowBytes(87381), 0u);
  EXPECT_EQ(PlaceholderRowBytes(100000), 4u * (75000u - 65536u));
  EXPECT_LT(PlaceholderRowBytes(100000), 3u * 100000u);
}

TEST(PlaceholderLayout, SidesOutsideOneTo4096Become48) {
  EXPECT_EQ(AcceptedPlaceholderSide(1), 1);
  EXPECT_EQ(AcceptedPlaceholderSide(48), 48);
  EXPECT_EQ(AcceptedPlaceholderSide(50), 50);
  EXPECT_EQ(AcceptedPlaceholderSide(4096), 4096);
  for (int32_t side : {0, -1, -48, 4097, 87381, 100000, INT32_MIN, INT32_MAX}) {
    EXPECT_EQ(AcceptedPlaceholderSide(side), 48) << side;
  }
}

std::string Extension(const char* name) {
  char out[kPlaceholderExtensionCapacity];
  std::memset(out, 'x', sizeof(out));
  PlaceholderExtension(name, out);
  return out;
}

TEST(PlaceholderExtension, PicksTheIconExtension) {
  EXPECT_EQ(Extension("pic.jpeg"), ".jpeg");
  EXPECT_EQ(Extension("archive.tar.gz"), ".gz");
  EXPECT_EQ(Extension("a.PNG"), ".PNG");
  // More than 8 characters after the dot: the first 8.
  EXPECT_EQ(Extension("x.abcdefghijk"), ".abcdefgh");
  EXPECT_EQ(Extension("x.abcdefgh"), ".abcdefgh");
  // A trailing dot: the bare dot.
  EXPECT_EQ(Extension("name."), ".");
  // No dot, an empty name, no name.
  EXPECT_EQ(Extension("README"), ".z_z");
  EXPECT_EQ(Extension(""), ".z_z");
  EXPECT_EQ(Extension(nullptr), ".z_z");
  EXPECT_EQ(Extension(".hidden"), ".hidden");
}

TEST(PlaceholderExtension, LastDotIsSearchedByWholeCharacters) {
  // 0x81 is a lead byte under code page 932: there "\x81." is one character.
  const char* name = "a.b\x81.c";
  {
    LeadByteScope scope(SingleByteSet());
    EXPECT_EQ(Extension(name), ".c");
  }
  {
    LeadByteScope scope(CodePage932Set());
    EXPECT_EQ(Extension(name), ".b\x81.c");
  }
}

}  // namespace
}  // namespace tavok
