#include "container/profile_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavok {
namespace {

// Read as the platform's profile functions read it.
TEST(ProfileText, ValuesAreFoundAsTheProfileFunctionsFindThem) {
  const std::wstring text =
      L"Count=9\r\n"  // before any section: in none
      L"[Other]\r\nCount=8\r\n"
      L" [spi] \r\n;Count=7\r\n  count  =  \"3\"  \r\nCOUNT=4\r\nPath0=\r\nPath1\r\n"
      L"Path2='a b'\r\nPath3=\"x'\r\nPath4=0x1F\r\nPath5=-12abc\r\nPath6=abc\nPath7=\t+0b101\n"
      L"[Icon\r\nWidth=20\r\n[SPI]\r\nPath8=second section";
  const struct {
    const wchar_t* section;
    const wchar_t* key;
    const wchar_t* value;  // null: not found
    int32_t number;        // with fallback 48
  } cases[] = {
      {L"SPI", L"Count", L"3", 3},  // a comment is no key; the first key counts
      {L"Other", L"COUNT", L"8", 8},
      {L"SPI", L"Path0", L"", 48},
      {L"SPI", L"Path1", L"", 48},
      {L"SPI", L"Path2", L"a b", 0},
      {L"SPI", L"Path3", L"\"x'", 0},
      {L"SPI", L"Path4", L"0x1F", 31},
      {L"SPI", L"Path5", L"-12abc", -12},
      {L"SPI", L"Path6", L"abc", 0},
      {L"SPI", L"Path7", L"+0b101", 5},
      {L"SPI", L"Path8", nullptr, 48},  // only the first section of a name counts
      {L"SPI", L"Width", L"20", 20},    // "[Icon" is no section
      {L"Icon", L"Width", nullptr, 48},
      {L"", L"Count", nullptr, 48},
  };
  for (const auto& c : cases) {
    std::wstring_view value;
    const bool found = FindProfileValue(text, c.section, c.key, &value);
    EXPECT_EQ(found, c.value != nullptr) << c.key;
    if (found && c.value != nullptr) {
      EXPECT_EQ(value, c.value) << c.key;
    }
    EXPECT_EQ(FindProfileInt(text, c.section, c.key, 48), c.number) << c.key;
  }
}

// Each row as Wine's GetPrivateProfileIntW reads "[S]\r\nK=<value>\r\n"
// with 777 as the default.
TEST(ProfileText, NumbersReadAsThePlatformReadsThem) {
  const struct {
    const wchar_t* value;
    int32_t number;
  } cases[] = {
      {L"2", 2},
      {L"\x01"
       L"2",
       2},  // characters up to the space are passed over
      {L"\x1f"
       L"3",
       3},
      {L" \x01 7", 7},
      {L"\x7f"
       L"5",
       0},
      {L"\xa0"
       L"5",
       0},
      {L"- 5", 0},  // not after the sign
      {L"0x2", 2},
      {L"0X2", 0},  // prefixes in lower case only
      {L"0b100", 4},
      {L"0B100000", 0},
      {L"0o17", 15},
      {L"0O17", 0},
      {L"0x1F", 31},  // digits in either case
      {L"0x", 0},
      {L"0b", 0},
      {L"00x5", 0},
      {L"-0x10", -16},
      {L"+7", 7},
      {L"12abc", 12},
      {L"1 2", 1},
      {L"abc", 0},
      {L"", 777},
      {L"\"42\"", 42},
      {L"'9'", 9},
      {L"\"4\"2", 0},
      {L"4294967297", 1},  // wraps as 32 bits
      {L"99999999999", 1215752191},
      {L"0x7FFFFFFF1", -15},
      // Only the first 29 characters are read.
      {L"00000000000000000000000000064", 64},
      {L"000000000000000000000000000064", 6},
      {L"0000000000000000000000000000064", 0},
      {L"1234567890123456789012345678", -1103563954},
      {L"123456789012345678901234567890", 1849262357},
  };
  for (const auto& c : cases) {
    const std::wstring text = std::wstring(L"[S]\r\nK=") + c.value + L"\r\n";
    EXPECT_EQ(FindProfileInt(text, L"S", L"K", 777), c.number)
        << ::testing::PrintToString(std::wstring(c.value));
  }
}

// Each row as Wine's profile functions read it.
TEST(ProfileText, LinesEndAtCrAtLfOrAtCrLfAndSectionNamesAreTrimmed) {
  const struct {
    const wchar_t* text;
    int32_t number;  // K in section S, default 777
  } cases[] = {
      {L"[S]\rK=5\r", 5},
      {L"[S]\r\nA=1\rK=8\r\n", 8},
      {L"[S]\n\rK=9\n\r", 9},
      {L"[S]\rA=1\rK=4", 4},
      {L"[ S ]\r\nK=6\r\n", 6},
      {L"[S\t]\r\nK=7\r\n", 7},
      {L"[\tS]\r\nK=10\r\n", 10},
      {L" [S] \r\nK=13\r\n", 13},
      {L"[S]x\r\nK=11\r\n", 11},
      {L"[S] ;c\r\nK=15\r\n", 15},
      {L"[S\r\nK=12\r\n", 777},
      {L"[ S]]\r\nK=14\r\n", 777},  // the last "]" closes the name
      {L"[S]\r\n K = 16 \r\n", 16},
      {L"[S]\r\nK=\x01"
       L"18\x01\r\n",
       18},
      {L"[T]\rK=1\r[S]\rK=3\r[S]\rK=2\r", 3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindProfileInt(c.text, L"S", L"K", 777), c.number)
        << ::testing::PrintToString(std::wstring(c.text));
  }
}

std::wstring Edited(const std::wstring& text, std::vector<ProfileEdit> edits) {
  std::wstring out(EditedProfileBound(text, L"SPI", edits.data(), edits.size()), L'#');
  out.resize(EditProfile(text, L"SPI", edits.data(), edits.size(), &out[0]));
  return out;
}

TEST(ProfileText, EditsChangeTheFirstSectionOnlyAndKeepEveryOtherLine) {
  const std::vector<ProfileEdit> edits = {
      {L"Count", L"2"}, {L"Path0", L"a.spi"}, {L"Path1", L"b.spi"}, {L"Path2", nullptr}};
  const struct {
    const char* label;
    std::wstring text, expected;
  } cases[] = {
      {"no text", L"", L"[SPI]\r\nCount=2\r\nPath0=a.spi\r\nPath1=b.spi\r\n"},
      {"no section, no last line break", L"[Icon]\r\nWidth=5",
       L"[Icon]\r\nWidth=5\r\n[SPI]\r\nCount=2\r\nPath0=a.spi\r\nPath1=b.spi\r\n"},
      {"replaced in place, duplicates and stale keys removed, the rest kept",
       L"; mine\r\n[spi]\r\npath1 = old\r\nCount=5\n; note\r\nPath2=x\r\nPATH1=dup\r\n\r\n"
       L"[Icon]\r\nWidth=5\r\n[SPI]\r\nPath2=y\r\n",
       L"; mine\r\n[spi]\r\nPath1=b.spi\r\nCount=2\n; note\r\nPath0=a.spi\r\n\r\n"
       L"[Icon]\r\nWidth=5\r\n[SPI]\r\nPath2=y\r\n"},
      {"a last line without a break", L"[SPI]\r\nKeep=1",
       L"[SPI]\r\nKeep=1\r\nCount=2\r\nPath0=a.spi\r\nPath1=b.spi\r\n"},
      {"CR line ends kept, and used for the keys added", L"[SPI]\rCount=1\rPath0=x\r[Icon]\rW=5\r",
       L"[SPI]\rCount=2\rPath0=a.spi\rPath1=b.spi\r[Icon]\rW=5\r"},
      {"a lone CR in a CR LF file", L"[SPI]\r\nCount=1\rPath0=x\r\nNote=1\n",
       L"[SPI]\r\nCount=2\rPath0=a.spi\r\nNote=1\nPath1=b.spi\n"},
      {"blanks inside the brackets", L"[ spi\t]\r\nPath2=x\r\n\r\n[Icon]\r\n",
       L"[ spi\t]\r\nCount=2\r\nPath0=a.spi\r\nPath1=b.spi\r\n\r\n[Icon]\r\n"},
      {"no section, CR line ends", L"[Icon]\rW=5",
       L"[Icon]\rW=5\r[SPI]\rCount=2\rPath0=a.spi\rPath1=b.spi\r"},
  };
  for (const auto& c : cases) EXPECT_EQ(Edited(c.text, edits), c.expected) << c.label;
}

}  // namespace
}  // namespace tavok
