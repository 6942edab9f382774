#include "container/file_paths.h"
#include "container/module_header.h"
#include "container/text_encoding.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavok {
namespace {

TEST(IsFullPath, DriveWithSeparatorOrUncPrefixOnly) {
  const struct {
    const char* path;
    bool full;
  } cases[] = {
      {"C:\\x\\a.spi", true},   {"z:/x/a.spi", true}, {"\\\\server\\share\\a.spi", true},
      {"//server/a.spi", true}, {"a.spi", false},     {"plugins\\a.spi", false},
      {".\\a.spi", false},      {"..\\a.spi", false}, {"\\a.spi", false},
      {"C:a.spi", false},       {"1:\\a.spi", false}, {"", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsFullPath(c.path), c.full) << c.path;
    const std::wstring wide(c.path, c.path + std::char_traits<char>::length(c.path));
    EXPECT_EQ(IsFullPath(wide.c_str()), c.full) << c.path;
  }
}

// A DOS stub whose pointer at 0x3C leads to "PE\0\0" and the machine field.
std::vector<uint8_t> ModuleHead(uint32_t pe, uint16_t machine, size_t size) {
  std::vector<uint8_t> head(size, 0);
  head[0] = 'M';
  head[1] = 'Z';
  for (int i = 0; i < 4; ++i) head[0x3C + i] = static_cast<uint8_t>(pe >> (8 * i));
  if (pe < size && size - pe >= 6) {
    head[pe] = 'P';
    head[pe + 1] = 'E';
    head[pe + 4] = static_cast<uint8_t>(machine);
    head[pe + 5] = static_cast<uint8_t>(machine >> 8);
  }
  return head;
}

TEST(ModuleMachine, ReadsTheFileHeaderOrNothing) {
  const struct {
    const char* label;
    std::vector<uint8_t> head;
    uint16_t machine;
  } cases[] = {
      {"x86", ModuleHead(0x80, kMachineX86, 512), kMachineX86},
      {"x64", ModuleHead(0x80, kMachineX64, 512), kMachineX64},
      {"machine field is the last two bytes", ModuleHead(0x80, kMachineX64, 0x86), kMachineX64},
      {"signature cut off", ModuleHead(0x80, kMachineX64, 0x85), 0},
      {"pointer beyond the head", ModuleHead(0x1000, kMachineX86, 512), 0},
      {"pointer that would wrap", ModuleHead(0xFFFFFFFE, kMachineX86, 512), 0},
      {"head shorter than the stub", std::vector<uint8_t>{'M', 'Z'}, 0},
      {"no MZ", std::vector<uint8_t>(512, 0), 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ModuleMachine(c.head.data(), c.head.size()), c.machine) << c.label;
  }
}

// Notepad saves UTF-8 without a mark; a Shift_JIS or Windows-1252 file is
// almost never valid UTF-8, and a file of ASCII reads the same either way.
// The exception, Shift_JIS of half-width katakana only, is read as such
// under code page 932.
TEST(DetectTextEncoding, MarksThenWellFormedUtf8ElseTheAnsiCodePage) {
  const struct {
    const char* label;
    std::string bytes;
    TextEncoding expected;
    uint32_t code_page = 1252;
  } cases[] = {
      {"empty", "", TextEncoding::kAnsi},
      {"ASCII", "[SPI]\r\nCount=1\r\n", TextEncoding::kAnsi},
      {"UTF-8 e acute", "caf\xC3\xA9", TextEncoding::kUtf8},
      {"UTF-8 cat, kanji", "Path0=\xE7\x8C\xAB\\cat.spi", TextEncoding::kUtf8},
      {"UTF-8 emoji", "\xF0\x9F\x98\xBA", TextEncoding::kUtf8},
      {"Windows-1252 e acute", "caf\xE9", TextEncoding::kAnsi},
      {"Shift_JIS kanji", "\x93\xFA\x96\x7B", TextEncoding::kAnsi},
      {"overlong slash", "\xC0\xAF", TextEncoding::kAnsi},
      {"overlong three bytes", "\xE0\x80\xAF", TextEncoding::kAnsi},
      {"surrogate", "\xED\xA0\x80", TextEncoding::kAnsi},
      {"above U+10FFFF", "\xF4\x90\x80\x80", TextEncoding::kAnsi},
      {"cut short at the end", "ok \xE7\x8C", TextEncoding::kAnsi},
      {"UTF-8 mark", "\xEF\xBB\xBF[SPI]", TextEncoding::kUtf8WithMark},
      {"UTF-16 mark", std::string("\xFF\xFE[\0", 4), TextEncoding::kUtf16},
      {"UTF-16 big-endian mark", std::string("\xFE\xFF\0[", 4), TextEncoding::kUtf16BigEndian},
      {"katakana Te-a, or n tilde, under 1252", "C:\\\xC3\xB1\\a.spi", TextEncoding::kUtf8},
      {"katakana Te-a under 932", "C:\\\xC3\xB1\\a.spi", TextEncoding::kAnsi, 932},
      {"katakana Ma-i under 932", "Path0=\xCF\xB2\\", TextEncoding::kAnsi, 932},
      {"e acute beside a kanji under 932", "caf\xC3\xA9 \xE7\x8C\xAB", TextEncoding::kUtf8, 932},
      {"the mark under 932", "\xEF\xBB\xBF\xC3\xB1", TextEncoding::kUtf8WithMark, 932},
  };
  for (const auto& c : cases) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(c.bytes.data());
    EXPECT_EQ(DetectTextEncoding(bytes, c.bytes.size(), c.code_page), c.expected) << c.label;
  }
  EXPECT_EQ(MarkLength(TextEncoding::kUtf8WithMark), 3u);
  EXPECT_EQ(MarkLength(TextEncoding::kUtf16), 2u);
  EXPECT_EQ(MarkLength(TextEncoding::kUtf8), 0u);
}

}  // namespace
}  // namespace tavok
