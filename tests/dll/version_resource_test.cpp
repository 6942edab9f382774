// The version resource of the built plug-ins, read back as Explorer's Details
// and the viewers that list plug-ins with their versions read it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/susie.h"
#include "support/test_files.h"

namespace tavok::testing {
namespace {

TEST(VersionResource, EachPluginNamesItselfAndTheReleaseInEnglishAndJapanese) {
  const std::string suffix = kPluginSuffix;
  const struct {
    std::string file;
    std::wstring english, japanese;  // FileDescription
  } modules[] = {
      {"tavok" + suffix, L"Susie import plug-in for Tarnwick cache files (*.qcx)",
       L"Tarnwick \u30AD\u30E3\u30C3\u30B7\u30E5 (*.qcx) \u7528 Susie \u30D7\u30E9\u30B0"
       L"\u30A4\u30F3"},
      {"ifwic" + suffix,
       L"Example Susie import plug-in: PNG, JPEG, GIF, BMP, TIFF and ICO through the Windows "
       L"Imaging Component",
       L"Windows Imaging Component \u306B\u3088\u308B\u753B\u50CF\u5C55\u958B Susie "
       L"\u30D7\u30E9\u30B0\u30A4\u30F3 (PNG / JPEG / GIF / BMP / TIFF / ICO)"},
  };
  const std::wstring version = Widen(TAVOK_VERSION);
  unsigned major = 0, minor = 0, patch = 0;
  ASSERT_EQ(std::sscanf(TAVOK_VERSION, "%u.%u.%u", &major, &minor, &patch), 3);
  for (const auto& module : modules) {
    const std::wstring path = Widen(ProgramFolder() + "\\" + module.file);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_NE(size, 0u) << module.file << " has no version resource";
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, (major << 16) | minor) << module.file;
    EXPECT_EQ(fixed->dwFileVersionLS, patch << 16) << module.file;
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS) << module.file;

    const struct {
      const wchar_t* block;
      const wchar_t* key;
      std::wstring value;
    } fields[] = {
        {L"040904B0", L"FileDescription", module.english},
        {L"041104B0", L"FileDescription", module.japanese},
        {L"040904B0", L"FileVersion", version},
        {L"041104B0", L"FileVersion", version},
        {L"040904B0", L"ProductVersion", version},
        {L"040904B0", L"ProductName", L"tavok"},
        {L"041104B0", L"ProductName", L"tavok"},
        {L"040904B0", L"OriginalFilename", Widen(module.file)},
        {L"041104B0", L"OriginalFilename", Widen(module.file)},
        {L"040904B0", L"LegalCopyright", L"Copyright (c) 2026 the tavok developers"},
    };
    for (const auto& field : fields) {
      const std::wstring query =
          std::wstring(L"\\StringFileInfo\\") + field.block + L"\\" + field.key;
      wchar_t* value = nullptr;
      const bool found =
          VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length);
      EXPECT_TRUE(found) << module.file << " " << Narrow(query);
      if (found) {
        EXPECT_EQ(std::wstring(value), field.value) << module.file << " " << Narrow(query);
      }
    }
  }
}

}  // namespace
}  // namespace tavok::testing
