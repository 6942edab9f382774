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
  };
  for (const auto& c : cases) EXPECT_EQ(Edited(c.text, edits), c.expected) << c.label;
}

}  // namespace
}  // namespace tavok
