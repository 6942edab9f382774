// The settings dialog's template as compiled into the built tavok.spi, read
// back byte for byte from the resource.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "plugin_module.h"

namespace tavok::testing {
namespace {

constexpr WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

// A class or menu field as stored: empty for none, 0xFFFF and the ordinal
// for a predefined one, else the name.
using NameOrOrdinal = std::u16string;

NameOrOrdinal Ordinal(uint16_t ordinal) {
  return {char16_t{0xFFFF}, char16_t(ordinal)};
}

struct Control {
  NameOrOrdinal window_class;
  std::u16string text;
  int32_t id;
  int16_t x, y, width, height;
  uint32_t style;
  uint32_t ex_style;
  bool operator==(const Control& other) const {
    return window_class == other.window_class && text == other.text && id == other.id &&
           x == other.x && y == other.y && width == other.width && height == other.height &&
           style == other.style && ex_style == other.ex_style;
  }
};

void PrintTo(const Control& c, std::ostream* out) {
  *out << "{class of " << c.window_class.size() << " units, id " << c.id << ", " << c.x << ","
       << c.y << "," << c.width << "," << c.height << std::hex << ", style 0x" << c.style
       << ", ex 0x" << c.ex_style << std::dec << ", " << c.text.size() << " chars of text}";
}

// Reads the extended dialog template field by field.
class TemplateReader {
 public:
  TemplateReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  template <typename T>
  T Read() {
    T value{};
    if (at_ + sizeof(T) > size_) throw std::runtime_error("template ends early");
    std::memcpy(&value, data_ + at_, sizeof(T));
    at_ += sizeof(T);
    return value;
  }
  std::u16string Text() {
    std::u16string text;
    for (char16_t c; (c = Read<char16_t>()) != 0;) text += c;
    return text;
  }
  NameOrOrdinal NameOrOrdinalField() {
    const char16_t first = Read<char16_t>();
    if (first == 0) return {};
    if (first == 0xFFFF) return {first, Read<char16_t>()};
    return first + Text();
  }
  void AlignToDword() { at_ = (at_ + 3) & ~size_t{3}; }
  size_t remaining() const { return size_ - at_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR found) {
  reinterpret_cast<std::vector<WORD>*>(found)->push_back(language);
  return TRUE;
}

class DialogTemplate : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryExA(BuiltPluginPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module_, nullptr);
  }
  void TearDown() override { FreeLibrary(module_); }
  HMODULE module_ = nullptr;
};

TEST_F(DialogTemplate, IsDialog100InJapaneseOnly) {
  std::vector<WORD> languages;
  EnumResourceLanguagesA(module_, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(100), CollectLanguage,
                         reinterpret_cast<LONG_PTR>(&languages));
  EXPECT_EQ(languages, std::vector<WORD>{kJapanese});
  EXPECT_EQ(kJapanese, 1041);
}

TEST_F(DialogTemplate, MatchesTheSettingsDialogLayout) {
  HRSRC resource = FindResourceExA(module_, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(100), kJapanese);
  ASSERT_NE(resource, nullptr);
  const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(module_, resource)));
  ASSERT_NE(data, nullptr);
  TemplateReader reader(data, SizeofResource(module_, resource));

  EXPECT_EQ(reader.Read<uint16_t>(), 1) << "extended layout version";
  EXPECT_EQ(reader.Read<uint16_t>(), 0xFFFF) << "extended layout signature";
  EXPECT_EQ(reader.Read<uint32_t>(), 0u) << "help id";
  EXPECT_EQ(reader.Read<uint32_t>(), 0u) << "extended style";
  EXPECT_EQ(reader.Read<uint32_t>(), 0x80C808C0u) << "style";
  const uint16_t count = reader.Read<uint16_t>();
  const int16_t box[4] = {reader.Read<int16_t>(), reader.Read<int16_t>(), reader.Read<int16_t>(),
                          reader.Read<int16_t>()};
  EXPECT_EQ(std::vector<int16_t>(box, box + 4), (std::vector<int16_t>{0, 0, 209, 155}));
  EXPECT_TRUE(reader.NameOrOrdinalField().empty()) << "menu";
  EXPECT_TRUE(reader.NameOrOrdinalField().empty()) << "window class";
  EXPECT_TRUE(reader.Text() == u"設定") << "caption";
  EXPECT_EQ(reader.Read<uint16_t>(), 9) << "point size";
  EXPECT_EQ(reader.Read<uint16_t>(), 0) << "weight";
  EXPECT_EQ(reader.Read<uint8_t>(), 0) << "italic";
  EXPECT_EQ(reader.Read<uint8_t>(), 1) << "character set";
  EXPECT_TRUE(reader.Text() == u"ＭＳ Ｐゴシック") << "typeface";

  const NameOrOrdinal button = Ordinal(0x0080);
  const Control expected[] = {
      {button, u"&OK", 1, 154, 135, 50, 14, 0x50010001, 0},
      {u"SysListView32", u"List1", 1000, 4, 20, 200, 108, 0x50018005, 0x200},
      {button, u"追加(&A)...", 1001, 4, 135, 50, 14, 0x50010000, 0},
      {button, u"削除(&D)", 1002, 64, 135, 50, 14, 0x50010000, 0},
      {Ordinal(0x0082), u"実際の画像展開に使用するSusieプラグインを設定してねっ☆", -1, 4, 4, 191,
       14, 0x50020200, 0},
  };
  ASSERT_EQ(count, std::size(expected));
  for (const Control& want : expected) {
    reader.AlignToDword();
    EXPECT_EQ(reader.Read<uint32_t>(), 0u) << "help id of control " << want.id;
    Control got{};
    got.ex_style = reader.Read<uint32_t>();
    got.style = reader.Read<uint32_t>();
    got.x = reader.Read<int16_t>();
    got.y = reader.Read<int16_t>();
    got.width = reader.Read<int16_t>();
    got.height = reader.Read<int16_t>();
    got.id = reader.Read<int32_t>();
    got.window_class = reader.NameOrOrdinalField();
    got.text = reader.Text();
    EXPECT_EQ(reader.Read<uint16_t>(), 0) << "creation data of control " << want.id;
    EXPECT_EQ(got, want);
  }
  EXPECT_LT(reader.remaining(), 4u);
}

}  // namespace
}  // namespace tavok::testing
