#include "placeholder/placeholder.h"

#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "host/handles.h"

namespace tavok {
namespace {

HLOCAL Sentinel(uintptr_t value) {
  return reinterpret_cast<HLOCAL>(value);
}

// Restores the size in force at the end of a test.
class PlaceholderTest : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = GetPlaceholderSize(); }
  void TearDown() override { SetPlaceholderSize(saved_.width, saved_.height); }

 private:
  PlaceholderSize saved_ = {};
};

// The two blocks of a rendered picture, freed at the end of the test.
struct Rendered {
  HLOCAL info = Sentinel(0x1111);
  HLOCAL bits = Sentinel(0x2222);
  ResultCode result = kNotProvided;

  Rendered() = default;
  Rendered(const Rendered&) = delete;
  Rendered& operator=(const Rendered&) = delete;
  ~Rendered() {
    if (info != nullptr && info != Sentinel(0x1111)) LocalFree(info);
    if (bits != nullptr && bits != Sentinel(0x2222)) LocalFree(bits);
  }

  std::vector<uint8_t> Bytes(HLOCAL block) const {
    const SIZE_T size = LocalSize(block);
    std::vector<uint8_t> bytes(size);
    const local_lock data(block);
    if (data) std::memcpy(bytes.data(), data.get(), size);
    return bytes;
  }
  std::vector<uint8_t> Header() const { return Bytes(info); }
  std::vector<uint8_t> Pixels() const { return Bytes(bits); }
};

void Render(const char* name, Rendered* out, ProgressCallback progress = nullptr,
            LONG_PTR user = 0) {
  out->result = RenderPlaceholderPicture(name, &out->info, &out->bits, progress, user);
}

unique_hicon ShellIcon(const char* extension) {
  SHFILEINFOA file_info = {};
  SHGetFileInfoA(extension, FILE_ATTRIBUTE_NORMAL, &file_info, sizeof(file_info),
                 SHGFI_ICON | SHGFI_USEFILEATTRIBUTES);
  return unique_hicon(file_info.hIcon);
}

// What the shell draws for extension in a width × height 24-bit DIB section,
// built here independently of the code under test.
std::vector<uint8_t> ReferencePicture(const char* extension, int32_t width, int32_t height) {
  BITMAPINFO header = {};
  header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  header.bmiHeader.biWidth = width;
  header.bmiHeader.biHeight = height;
  header.bmiHeader.biPlanes = 1;
  header.bmiHeader.biBitCount = 24;
  header.bmiHeader.biCompression = BI_RGB;
  const size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
  std::vector<uint8_t> pixels(stride * static_cast<size_t>(height), 0);

  unique_hdc dc(CreateCompatibleDC(nullptr));
  if (!dc) return {};
  void* section_pixels = nullptr;
  unique_hbitmap section(
      CreateDIBSection(dc.get(), &header, DIB_RGB_COLORS, &section_pixels, nullptr, 0));
  if (!section) return {};
  select_object selected(dc.get(), section.get());
  unique_hicon icon = ShellIcon(extension);
  if (icon) {
    DrawIconEx(dc.get(), 0, 0, icon.get(), width, height, 0, nullptr, DI_NORMAL);
    GdiFlush();
    std::memcpy(pixels.data(), section_pixels, pixels.size());
  }
  return pixels;
}

bool HasIcon(const char* extension) {
  return static_cast<bool>(ShellIcon(extension));
}

size_t NonZeroBytes(const std::vector<uint8_t>& bytes) {
  size_t count = 0;
  for (uint8_t b : bytes) count += b != 0;
  return count;
}

std::vector<uint8_t> ExpectedHeader(int32_t width, int32_t height, uint32_t image_size) {
  std::vector<uint8_t> bytes(40, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  put32(0, 40);
  put32(4, static_cast<uint32_t>(width));
  put32(8, static_cast<uint32_t>(height));
  bytes[12] = 1;   // planes
  bytes[14] = 24;  // bits per pixel
  put32(20, image_size);
  return bytes;
}

TEST_F(PlaceholderTest, DefaultSizeIs48By48) {
  SetPlaceholderSize(48, 48);
  const PlaceholderSize size = GetPlaceholderSize();
  EXPECT_EQ(size.width, 48);
  EXPECT_EQ(size.height, 48);
}

TEST_F(PlaceholderTest, InfoReportsTheSizeDepth24AndNothingElse) {
  SetPlaceholderSize(64, 32);
  PictureInfo info;
  std::memset(&info, 0xAB, sizeof(info));
  BuildPlaceholderInfo(&info);
  EXPECT_EQ(info.left, 0);
  EXPECT_EQ(info.top, 0);
  EXPECT_EQ(info.width, 64);
  EXPECT_EQ(info.height, 32);
  EXPECT_EQ(info.x_density, 0);
  EXPECT_EQ(info.y_density, 0);
  EXPECT_EQ(info.colour_depth, 24);
  EXPECT_EQ(info.text, nullptr);
}

TEST_F(PlaceholderTest, Header48x48ByteForByte) {
  SetPlaceholderSize(48, 48);
  Rendered r;
  Render("pic.txt", &r);
  ASSERT_EQ(r.result, kSuccess);
  EXPECT_EQ(LocalSize(r.info), 40u);
  EXPECT_EQ(LocalSize(r.bits), 144u * 48u);
  EXPECT_EQ(r.Header(), ExpectedHeader(48, 48, 144 * 48));
  EXPECT_EQ(LocalFlags(r.info) & LMEM_LOCKCOUNT, 0u);
  EXPECT_EQ(LocalFlags(r.bits) & LMEM_LOCKCOUNT, 0u);
}

TEST_F(PlaceholderTest, Header50x48ByteForByteWithZeroPadding) {
  SetPlaceholderSize(50, 48);
  Rendered r;
  Render("pic.txt", &r);
  ASSERT_EQ(r.result, kSuccess);
  EXPECT_EQ(r.Header(), ExpectedHeader(50, 48, 152 * 48));
  const std::vector<uint8_t> pixels = r.Pixels();
  ASSERT_EQ(pixels.size(), 152u * 48u);
  for (size_t row = 0; row < 48; ++row) {
    EXPECT_EQ(pixels[row * 152 + 150], 0) << row;
    EXPECT_EQ(pixels[row * 152 + 151], 0) << row;
  }
  EXPECT_GT(NonZeroBytes(pixels), 0u);
}

TEST_F(PlaceholderTest, SidesOutside1To4096Become48) {
  struct Case {
    int32_t width, height, want_width, want_height;
  };
  for (const Case& c :
       {Case{0, 48, 48, 48}, Case{-5, 64, 48, 64}, Case{64, -1, 64, 48}, Case{4097, 4096, 48, 4096},
        Case{100000, 1, 48, 1}, Case{INT32_MIN, INT32_MAX, 48, 48}, Case{1, 1, 1, 1}}) {
    SetPlaceholderSize(c.width, c.height);
    const PlaceholderSize size = GetPlaceholderSize();
    EXPECT_EQ(size.width, c.want_width) << c.width;
    EXPECT_EQ(size.height, c.want_height) << c.height;

    PictureInfo info = {};
    BuildPlaceholderInfo(&info);
    EXPECT_EQ(info.width, c.want_width);
    EXPECT_EQ(info.height, c.want_height);

    Rendered r;
    Render("a.txt", &r);
    ASSERT_EQ(r.result, kSuccess);
    const uint32_t row_bytes = (static_cast<uint32_t>(c.want_width) * 3 + 3) / 4 * 4;
    const uint32_t image_size = row_bytes * static_cast<uint32_t>(c.want_height);
    EXPECT_EQ(r.Header(), ExpectedHeader(c.want_width, c.want_height, image_size));
    EXPECT_EQ(LocalSize(r.bits), image_size) << c.width << " x " << c.height;
  }
}

TEST_F(PlaceholderTest, WidthThatWouldWrapTheWordCountIsRefused) {
  // 100000 pixels of 24 bits are 75000 words, more than 16 bits hold.
  SetPlaceholderSize(100000, 2);
  Rendered r;
  Render("a.txt", &r);
  ASSERT_EQ(r.result, kSuccess);
  EXPECT_EQ(r.Header(), ExpectedHeader(48, 2, 144 * 2));
  EXPECT_EQ(LocalSize(r.bits), 144u * 2u);
}

struct ProgressCall {
  int number, denominator;
  LONG_PTR user;
  bool operator==(const ProgressCall& o) const {
    return number == o.number && denominator == o.denominator && user == o.user;
  }
};
std::vector<ProgressCall> g_calls;
int g_abort_at = -1;  // the number at which the callback answers non-zero

int __stdcall RecordProgress(int number, int denominator, LONG_PTR user) {
  g_calls.push_back({number, denominator, user});
  return number == g_abort_at ? 1 : 0;
}

TEST_F(PlaceholderTest, ProgressIsCalledBeforeAndAfter) {
  g_calls.clear();
  g_abort_at = -1;
  Rendered r;
  Render("pic.txt", &r, RecordProgress, 0x1234567);
  EXPECT_EQ(r.result, kSuccess);
  EXPECT_EQ(g_calls, (std::vector<ProgressCall>{{0, 1, 0x1234567}, {1, 1, 0x1234567}}));
  EXPECT_GT(LocalSize(r.info), 0u);
  EXPECT_GT(LocalSize(r.bits), 0u);
}

TEST_F(PlaceholderTest, AbortBeforeLeavesTheOutputsUntouched) {
  g_calls.clear();
  g_abort_at = 0;
  Rendered r;
  Render("pic.txt", &r, RecordProgress, 7);
  EXPECT_EQ(r.result, kAborted);
  EXPECT_EQ(g_calls, (std::vector<ProgressCall>{{0, 1, 7}}));
  EXPECT_EQ(r.info, Sentinel(0x1111));
  EXPECT_EQ(r.bits, Sentinel(0x2222));
}

TEST_F(PlaceholderTest, AbortAfterKeepsNoBlocksAndNullsTheOutputs) {
  SetPlaceholderSize(48, 48);
  g_calls.clear();
  g_abort_at = 1;
  Rendered r;
  Render("pic.txt", &r, RecordProgress, -3);
  EXPECT_EQ(r.result, kAborted);
  EXPECT_EQ(g_calls, (std::vector<ProgressCall>{{0, 1, -3}, {1, 1, -3}}));
  EXPECT_EQ(r.info, nullptr);
  EXPECT_EQ(r.bits, nullptr);
}

enum class Apartment { kNone, kSingle, kMulti };

Apartment CurrentApartment() {
  APTTYPE type;
  APTTYPEQUALIFIER qualifier;
  if (FAILED(CoGetApartmentType(&type, &qualifier))) return Apartment::kNone;
  if (qualifier == APTTYPEQUALIFIER_IMPLICIT_MTA) return Apartment::kNone;
  return type == APTTYPE_MTA ? Apartment::kMulti : Apartment::kSingle;
}

// A host's worker thread may have no COM, or an apartment of its own: the
// icon lookup gets COM either way, and the thread is left as it was.
TEST_F(PlaceholderTest, TheIconLookupHasComAndLeavesTheThreadAsItWas) {
  struct Case {
    Apartment before;
    Apartment inside;
  } cases[] = {{Apartment::kNone, Apartment::kSingle},
               {Apartment::kSingle, Apartment::kSingle},
               {Apartment::kMulti, Apartment::kMulti}};
  for (const Case& c : cases) {
    std::thread([&c] {
      if (c.before != Apartment::kNone) {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, c.before == Apartment::kMulti
                                                          ? COINIT_MULTITHREADED
                                                          : COINIT_APARTMENTTHREADED)));
      }
      ASSERT_EQ(CurrentApartment(), c.before);
      {
        const com_scope com;
        EXPECT_EQ(CurrentApartment(), c.inside);
      }
      Rendered r;
      Render("pic.txt", &r);
      EXPECT_EQ(r.result, kSuccess);
      EXPECT_EQ(r.Pixels(), ReferencePicture(".txt", 48, 48));
      EXPECT_EQ(CurrentApartment(), c.before);
      // Balanced: the thread's own initialisation is the last one.
      if (c.before != Apartment::kNone) CoUninitialize();
      EXPECT_EQ(CurrentApartment(), Apartment::kNone);
    }).join();
  }
}

TEST_F(PlaceholderTest, WithoutCallbackTheBlocksAreMovableAndOwnedByTheCaller) {
  Rendered r;
  Render("pic.txt", &r);
  ASSERT_EQ(r.result, kSuccess);
  // Movable blocks: the handle is not the address.
  void* data = LocalLock(r.info);
  ASSERT_NE(data, nullptr);
  EXPECT_NE(data, static_cast<void*>(r.info));
  LocalUnlock(r.info);
  EXPECT_EQ(LocalFree(r.info), nullptr);
  EXPECT_EQ(LocalFree(r.bits), nullptr);
  r.info = r.bits = nullptr;
}

// The picture is the shell's own icon for the extension: under Wine ".chm" has
// one of its own (hh.exe's help icon), unlike the plain document icon that
// unregistered extensions such as ".z_z" get.
TEST_F(PlaceholderTest, DrawsTheShellIconOfTheExtension) {
  SetPlaceholderSize(48, 48);
  ASSERT_TRUE(HasIcon(".chm"));
  Rendered r;
  Render("manual.chm", &r);
  ASSERT_EQ(r.result, kSuccess);
  const std::vector<uint8_t> pixels = r.Pixels();
  EXPECT_GT(NonZeroBytes(pixels), pixels.size() / 10) << "not the icon: mostly black";
  EXPECT_EQ(pixels, ReferencePicture(".chm", 48, 48));

  Rendered generic;
  Render("manual", &generic);
  ASSERT_EQ(generic.result, kSuccess);
  const std::vector<uint8_t> generic_pixels = generic.Pixels();
  EXPECT_GT(NonZeroBytes(generic_pixels), generic_pixels.size() / 10);
  EXPECT_NE(pixels, generic_pixels) << ".chm drew the same picture as a name without a dot";
}

struct NameCase {
  const char* name;
  const char* extension;
};

class PlaceholderNames : public PlaceholderTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(PlaceholderNames, PictureIsTheIconOfTheExtension) {
  const NameCase& nc = GetParam();
  char extension[kPlaceholderExtensionCapacity];
  PlaceholderExtension(nc.name, extension);
  EXPECT_STREQ(extension, nc.extension);

  for (const PlaceholderSize size : {PlaceholderSize{48, 48}, PlaceholderSize{50, 31}}) {
    SetPlaceholderSize(size.width, size.height);
    Rendered r;
    Render(nc.name, &r);
    ASSERT_EQ(r.result, kSuccess);
    EXPECT_EQ(r.Pixels(), ReferencePicture(nc.extension, size.width, size.height))
        << nc.name << " at " << size.width << " x " << size.height;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Extensions, PlaceholderNames,
    ::testing::Values(NameCase{"pic.jpeg", ".jpeg"}, NameCase{"notes.txt", ".txt"},
                      NameCase{"help.CHM", ".CHM"}, NameCase{"setup.msi", ".msi"},
                      NameCase{"archive.tar.chm", ".chm"}, NameCase{"setup.exe", ".exe"},
                      NameCase{"x.abcdefghijk", ".abcdefgh"}, NameCase{"name.", "."},
                      NameCase{"README", ".z_z"}, NameCase{"", ".z_z"}));

}  // namespace
}  // namespace tavok
