#include "container/mbcs.h"

#include <gtest/gtest.h>

#include <cstring>

#include "container/lead_bytes.h"
#include "lead_byte_scope.h"

namespace tavok {
namespace {

// Under code page 932, 0x95 0x5C is one character whose trail byte is a
// backslash, and 0x83 0x55 one whose trail byte is 'U'.
constexpr char kTrailBackslash[] = "\x95\x5C";

TEST(LeadBytes, CodePage932Ranges) {
  const LeadByteSet set = CodePage932Set();
  for (unsigned c : {0x81u, 0x9Fu, 0xE0u, 0xFCu}) EXPECT_TRUE(set.lead[c]) << c;
  for (unsigned c : {0x00u, 0x5Cu, 0x80u, 0xA0u, 0xDFu, 0xFDu}) EXPECT_FALSE(set.lead[c]) << c;
  for (unsigned c = 0; c < 256; ++c) EXPECT_FALSE(SingleByteSet().lead[c]) << c;
}

struct SearchCase {
  const char* text;
  char c;
  int first_single;  // offsets, -1 for none
  int last_single;
  int first_932;
  int last_932;
};

class CharSearch : public ::testing::TestWithParam<SearchCase> {};

int OffsetOf(const char* text, const char* found) {
  return found == nullptr ? -1 : static_cast<int>(found - text);
}

TEST_P(CharSearch, FindsOnlyWholeCharacters) {
  const SearchCase& sc = GetParam();
  {
    LeadByteScope scope(SingleByteSet());
    EXPECT_EQ(OffsetOf(sc.text, FindChar(sc.text, sc.c)), sc.first_single);
    EXPECT_EQ(OffsetOf(sc.text, FindLastChar(sc.text, sc.c)), sc.last_single);
  }
  {
    LeadByteScope scope(CodePage932Set());
    EXPECT_EQ(OffsetOf(sc.text, FindChar(sc.text, sc.c)), sc.first_932);
    EXPECT_EQ(OffsetOf(sc.text, FindLastChar(sc.text, sc.c)), sc.last_932);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Separators, CharSearch,
    ::testing::Values(SearchCase{"C:\\dir\\a.qcx", '\\', 2, 6, 2, 6},
                      SearchCase{"abc", '.', -1, -1, -1, -1}, SearchCase{"", '\\', -1, -1, -1, -1},
                      // A trail byte 0x5C is a backslash only in single-byte code pages.
                      SearchCase{"d\\\x95\x5C", '\\', 1, 3, 1, 1},
                      SearchCase{"\x95\x5C\x95\x5C", '\\', 1, 3, -1, -1},
                      // A lead byte right before the terminator stands alone.
                      SearchCase{"a.\x95", '.', 1, 1, 1, 1},
                      // Single-byte katakana (0xA1-0xDF) are never lead bytes.
                      SearchCase{"\xB1\\x", '\\', 1, 1, 1, 1}));

TEST(FindText, SkipsMatchesThatStartOnATrailByte) {
  LeadByteScope scope(CodePage932Set());
  // 0x83 0x55 is one character; "URL=" must not be found starting at its trail.
  const char text[] = "X=\x83URL=no\r\nURL=yes\r\n";
  const char* found = FindText(text, "URL=");
  ASSERT_NE(found, nullptr);
  EXPECT_STREQ(found, "URL=yes\r\n");
}

TEST(FindText, Basics) {
  LeadByteScope scope(SingleByteSet());
  EXPECT_STREQ(FindText("abcabc", "ca"), "cabc");
  EXPECT_EQ(FindText("abc", "abcd"), nullptr);
  EXPECT_STREQ(FindText("abc", ""), "abc");
  EXPECT_EQ(FindText("", "a"), nullptr);
  const char text[] = "X=\x83URL=no\r\n";
  EXPECT_STREQ(FindText(text, "URL="), "URL=no\r\n");
}

TEST(EqualsIgnoreCase, FoldsAsciiOnlyOutsideDoubleByteCharacters) {
  LeadByteScope scope(CodePage932Set());
  EXPECT_TRUE(EqualsIgnoreCase("qcx", "QCX"));
  EXPECT_TRUE(EqualsIgnoreCase("C:\\X\\A.SPI", "c:\\x\\a.spi"));
  EXPECT_FALSE(EqualsIgnoreCase("qcx", "qc"));
  EXPECT_FALSE(EqualsIgnoreCase("qc", "qcx"));
  EXPECT_TRUE(EqualsIgnoreCase("", ""));
  // 0x82 0x60 and 0x82 0x80 differ in the trail byte only by 0x20: not a case pair.
  EXPECT_FALSE(EqualsIgnoreCase("\x82\x60", "\x82\x80"));
  EXPECT_FALSE(EqualsIgnoreCase("\x83\x41", "\x83\x61"));
  EXPECT_TRUE(EqualsIgnoreCase(kTrailBackslash, kTrailBackslash));
}

}  // namespace
}  // namespace tavok
