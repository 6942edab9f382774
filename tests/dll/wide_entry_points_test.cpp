// The UTF-16 entry points of the built plug-in: names that the ANSI code page
// cannot spell, and for the same bytes the answers the ANSI entry points give.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "plugin_host.h"
#include "plugin_module.h"
#include "pure/container_builder.h"
#include "support/fixture_log.h"
#include "support/plugin_folder.h"
#include "support/test_files.h"

namespace tavok::testing {
namespace {

bool CodePageCanSpell(const std::wstring& name) {
  BOOL lossy = FALSE;
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.c_str(), -1, nullptr, 0, nullptr, &lossy);
  return !lossy;
}

// Hangul and an emoji under code page 932, Japanese under 1252; the folder's
// "Ł" is in neither.
std::wstring ForeignFileName() {
  return GetACP() == 932 ? L"\uC0AC\uC9C4 \U0001F600.qcx" : L"\u5199\u771F.qcx";
}

void WriteWide(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

// What a description and a picture request handed over, blocks freed.
struct Answers {
  int32_t info_result = -1;
  PictureInfo info = {};
  std::string text;
  int32_t picture_result = -1;
  std::string header_and_bits;
};

template <typename Char, typename InfoFn, typename PictureFn>
Answers Ask(InfoFn get_info, PictureFn get_picture, const Char* buffer, LONG_PTR length,
            uint32_t flag) {
  Answers answers;
  answers.info_result = get_info(buffer, length, flag, &answers.info);
  answers.text = TextOf(answers.info.text);
  if (answers.info.text != nullptr) LocalFree(answers.info.text);
  answers.info.text = nullptr;
  HLOCAL info = nullptr, bits = nullptr;
  answers.picture_result = get_picture(buffer, length, flag, &info, &bits, nullptr, 0);
  for (HLOCAL block : {info, bits}) {
    if (block == nullptr) continue;
    answers.header_and_bits.append(static_cast<const char*>(LocalLock(block)), LocalSize(block));
    LocalUnlock(block);
    LocalFree(block);
  }
  return answers;
}

class WideEntryPoints : public ::testing::Test {
 protected:
  WideEntryPoints() : host_(folder_, {"fx_png"}) {}

  HMODULE module() const { return host_.handle(); }
  template <typename Fn>
  Fn Get(const char* name) const {
    return FindExport<Fn>(module(), name);
  }

  PluginFolder folder_;
  PluginHost host_;
};

TEST_F(WideEntryPoints, PluginInfoIsTheAnsiAnswerInCharacters) {
  const auto ansi = Get<GetPluginInfoFn>("GetPluginInfo");
  const auto wide = Get<GetPluginInfoWFn>("GetPluginInfoW");
  ASSERT_NE(wide, nullptr);
  for (int32_t number = -1; number <= 4; ++number) {
    for (int32_t length : {0, 1, 3, 5, 6, 100}) {
      char a[128];
      wchar_t w[128];
      std::memset(a, 0x7E, sizeof(a));
      std::wmemset(w, 0x7E7E, 128);
      const int32_t n = ansi(number, a, length);
      ASSERT_EQ(wide(number, w, length), n) << number << " " << length;
      for (int32_t i = 0; i < n; ++i) EXPECT_EQ(w[i], static_cast<wchar_t>(a[i])) << number;
      EXPECT_EQ(w[n], 0x7E7E) << "written beyond the answer: " << number << " " << length;
    }
  }
}

TEST_F(WideEntryPoints, AFileTheCodePageCannotSpellIsServedAsItsBytesAre) {
  const std::wstring folder = Widen(folder_.path()) + L"\\\u0141ukasz";
  const std::wstring name = ForeignFileName();
  ASSERT_FALSE(CodePageCanSpell(folder + L"\\" + name)) << "not a foreign name here";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  const std::vector<uint8_t> bytes =
      MakeContainer(HeaderFor("http://example.com/img/pic.png"), std::string(3000, 'p'));
  const std::wstring path = folder + L"\\" + name;
  WriteWide(path, bytes);
  std::vector<uint8_t> offset_bytes(37 + bytes.size(), 'x');
  std::memcpy(offset_bytes.data() + 37, bytes.data(), bytes.size());
  const std::wstring offset_path = folder + L"\\offset " + name;
  WriteWide(offset_path, offset_bytes);

  const Answers expected =
      Ask<char>(Get<GetPictureInfoFn>("GetPictureInfo"), Get<GetPictureFn>("GetPicture"),
                reinterpret_cast<const char*>(bytes.data()), bytes.size(), kMemoryInput);
  ASSERT_EQ(expected.info_result, kSuccess);
  ASSERT_EQ(expected.picture_result, kSuccess);
  const auto info_w = Get<GetPictureInfoWFn>("GetPictureInfoW");
  const auto picture_w = Get<GetPictureWFn>("GetPictureW");
  struct Case {
    const char* label;
    const wchar_t* buffer;
    LONG_PTR length;
    uint32_t flag;
  } cases[] = {
      {"file", path.c_str(), 0, kFileInput},
      {"file at an offset", offset_path.c_str(), 37, kFileInput},
      {"memory", reinterpret_cast<const wchar_t*>(bytes.data()),
       static_cast<LONG_PTR>(bytes.size()), kMemoryInput},
  };
  for (const Case& c : cases) {
    const Answers got = Ask<wchar_t>(info_w, picture_w, c.buffer, c.length, c.flag);
    EXPECT_EQ(got.info_result, expected.info_result) << c.label;
    EXPECT_EQ(std::memcmp(&got.info, &expected.info, sizeof(PictureInfo)), 0) << c.label;
    EXPECT_EQ(got.text, expected.text) << c.label;
    EXPECT_EQ(got.picture_result, expected.picture_result) << c.label;
    EXPECT_EQ(got.header_and_bits, expected.header_and_bits) << c.label;
  }

  // The ANSI name of the same file is lossy: it names no file.
  std::string lossy(MAX_PATH * 2, '\0');
  lossy.resize(WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, &lossy[0],
                                   static_cast<int>(lossy.size()), nullptr, nullptr));
  PictureInfo info = {};
  EXPECT_EQ(Get<GetPictureInfoFn>("GetPictureInfo")(lossy.c_str(), 0, 0, &info), kReadError);

  const auto is_supported_w = Get<IsSupportedWFn>("IsSupportedW");
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(is_supported_w(path.c_str(), reinterpret_cast<ULONG_PTR>(file)), 1);
  CloseHandle(file);
}

TEST_F(WideEntryPoints, IsSupportedTestsTheExtensionOfTheUtf16Name) {
  const auto is_supported_w = Get<IsSupportedWFn>("IsSupportedW");
  std::vector<uint8_t> head = MakeContainer(HeaderFor("http://example.com/a.png"), "");
  head.resize(kHeadSize, 0);
  const ULONG_PTR address = reinterpret_cast<ULONG_PTR>(head.data());
  struct Case {
    std::wstring name;
    int32_t expected;
  } cases[] = {
      {ForeignFileName(), 1},
      {L"C:\\\u0141ukasz\\A.QCX", 1},
      {L"\u5199\u771F.qCx", 1},
      {L"a.qcx.png", 0},
      {L"a.qcxx", 0},
      {L"a.qc", 0},
      {L"C:\\dir.qcx\\file", 0},
      {L"qcx", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(is_supported_w(c.name.c_str(), address), c.expected) << c.expected;
  }
}

// tavok finds its settings file and its decoders in a folder whose name the
// ANSI code page cannot spell.
TEST(WideFolders, TavokServesFromAFolderTheCodePageCannotSpell) {
  ScratchFolder scratch;
  const std::wstring folder = Widen(scratch.path()) + L"\\\u0141ukasz \u0634";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  const std::wstring tavok = folder + L"\\" + Widen(kOwnFileName);
  ASSERT_TRUE(CopyFileW(Widen(BuiltPluginPath()).c_str(), tavok.c_str(), FALSE));
  ASSERT_TRUE(
      CopyFileW(Widen(FixturePath("fx_png")).c_str(), (folder + L"\\fx_png.spi").c_str(), FALSE));
  const std::string ini = "[SPI]\r\nCount=1\r\nPath0=fx_png.spi\r\n";
  WriteWide(folder + L"\\tavok.ini", std::vector<uint8_t>(ini.begin(), ini.end()));

  HMODULE module = LoadLibraryW(tavok.c_str());
  ASSERT_NE(module, nullptr);
  const std::vector<uint8_t> bytes =
      MakeContainer(HeaderFor("http://example.com/img/pic.png"), std::string(100, 'p'));
  PictureInfo info = {};
  EXPECT_EQ(FindExport<GetPictureInfoFn>(module, "GetPictureInfo")(
                reinterpret_cast<const char*>(bytes.data()), bytes.size(), kMemoryInput, &info),
            kSuccess);
  EXPECT_EQ(TextOf(info.text), "http://example.com/img/pic.png\r\nfixture text");
  LocalFree(info.text);
  FreeLibrary(module);
}

}  // namespace
}  // namespace tavok::testing
