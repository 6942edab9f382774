// Black-box tests of the identity and probe exports of the built tavok.spi.
#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "../pure/container_builder.h"
#include "../support/test_files.h"
#include "plugin_module.h"

namespace tavok::testing {
namespace {

class EntryPoints : public ::testing::Test {
 protected:
  PluginModule plugin_;
  GetPluginInfoFn get_plugin_info_ = plugin_.Get<GetPluginInfoFn>("GetPluginInfo");
  IsSupportedFn is_supported_ = plugin_.Get<IsSupportedFn>("IsSupported");
  GetPreviewFn get_preview_ = plugin_.Get<GetPreviewFn>("GetPreview");
};

struct InfoCase {
  int32_t number;
  int32_t length;
  int32_t expected;
  const char* written;  // bytes expected at the buffer's start
  int written_size;
};

TEST_F(EntryPoints, GetPluginInfoCopiesAndTruncates) {
  const InfoCase cases[] = {
      {0, 100, 5, "00IN", 5},
      {0, 5, 5, "00IN", 5},
      {0, 4, 4, "00IN", 4},  // truncated: no terminator
      {0, 3, 3, "00I", 3},
      {2, 100, 6, "*.qcx", 6},
      {3, 100, 23, "Tarnwick Cache (*.qcx)", 23},
      {0, 0, 0, "", 0},
      {0, -1, 0, "", 0},
      {4, 100, 0, "", 0},
      {-1, 100, 0, "", 0},
      {INT32_MIN, 100, 0, "", 0},
  };
  for (const InfoCase& c : cases) {
    char buffer[128];
    std::memset(buffer, '#', sizeof(buffer));
    EXPECT_EQ(get_plugin_info_(c.number, buffer, c.length), c.expected)
        << c.number << " / " << c.length;
    EXPECT_EQ(std::memcmp(buffer, c.written, c.written_size), 0) << c.number << " / " << c.length;
    // Nothing beyond the reported count is touched.
    EXPECT_EQ(buffer[c.written_size], '#') << c.number << " / " << c.length;
  }
}

TEST_F(EntryPoints, GetPluginInfoDescribesThePlugin) {
  char buffer[260] = {};
  const int32_t n = get_plugin_info_(1, buffer, sizeof(buffer));
  EXPECT_EQ(n, static_cast<int32_t>(std::strlen(buffer)) + 1);
  EXPECT_EQ(std::string(buffer).rfind("QCX to DIB filter ver0.01", 0), 0u) << buffer;
}

// A head as the host hands it over: at least 2000 readable bytes.
std::vector<uint8_t> Head(const std::vector<uint8_t>& container) {
  std::vector<uint8_t> head = container;
  head.resize(2000, 0);
  return head;
}

ULONG_PTR Address(const std::vector<uint8_t>& bytes) {
  return reinterpret_cast<ULONG_PTR>(bytes.data());
}

TEST_F(EntryPoints, IsSupportedOnAHeadInMemory) {
  const auto valid = Head(MakeContainer(HeaderFor("http://h/a.png"), "payload"));
  const auto invalid = Head(MakeContainer("0123456789\n\r", "payload"));
  struct Case {
    const char* name;
    const std::vector<uint8_t>* head;
    int32_t expected;
  } cases[] = {
      {"C:\\cache\\a.qcx", &valid, 1}, {"A.QCX", &valid, 1},   {nullptr, &valid, 1},
      {"C:\\cache\\a.jpg", &valid, 0}, {"a.qcx", &invalid, 0}, {"C:\\a.qcx\\b", &valid, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(is_supported_(c.name, Address(*c.head)), c.expected) << (c.name ? c.name : "null");
  }
}

// A header that ends beyond the 2000-byte head is accepted as far as the head
// shows it: the picture requests validate it whole.
TEST_F(EntryPoints, IsSupportedAcceptsHeadersEndingBeyondTheHead) {
  const std::string header = "A=" + std::string(2000, 'x') + "\r\nURL=http://h/a.png\r\n";
  const int32_t n = static_cast<int32_t>(header.size());
  struct Case {
    const char* label;
    const char* name;
    int32_t length_word;
    size_t cut;  // the file ends after this many bytes (0: it does not)
    int32_t expected;
  } cases[] = {
      {"long header", "a.qcx", n, 0, 1},
      {"long header, other extension", "a.jpg", n, 0, 0},
      {"largest length word", "a.qcx", INT_MAX - 4, 0, 1},
      {"length word that overflows", "a.qcx", INT_MAX - 3, 0, 0},
      {"negative length word", "a.qcx", -5, 0, 0},
      // Only a handle shows that the file ends inside the head.
      {"file ends inside the head", "a.qcx", 1996, 1200, 0},
  };
  ScratchFolder folder;
  for (const Case& c : cases) {
    auto bytes = MakeContainerWithLength(c.length_word, header, "payload");
    if (c.cut == 0) {
      EXPECT_EQ(is_supported_(c.name, Address(bytes)), c.expected) << c.label;
    }
    if (c.cut != 0) bytes.resize(c.cut);
    const std::string path = folder.Write("h.qcx", std::string(bytes.begin(), bytes.end()));
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(is_supported_(c.name, reinterpret_cast<ULONG_PTR>(file)), c.expected)
        << c.label << " (handle)";
    CloseHandle(file);
  }
}

TEST_F(EntryPoints, IsSupportedReadsFromTheHandlesPosition) {
  ScratchFolder folder;
  const auto container = MakeContainer(HeaderFor("http://h/a.png"), "payload");
  std::string bytes = "PREFIX--" + std::string(container.begin(), container.end());
  const std::string path = folder.Write("a.qcx", bytes);

  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  const ULONG_PTR source = reinterpret_cast<ULONG_PTR>(file);
  ASSERT_EQ(source & 0xFFFF0000u, 0u) << "handles are small numbers";

  EXPECT_EQ(is_supported_(path.c_str(), source), 0) << "the prefix is not a container";
  SetFilePointer(file, 8, nullptr, FILE_BEGIN);
  EXPECT_EQ(is_supported_(path.c_str(), source), 1);
  // No seek is made: the read moved the position past the short file's end.
  EXPECT_EQ(is_supported_(path.c_str(), source), 0);
  SetFilePointer(file, 8, nullptr, FILE_BEGIN);
  EXPECT_EQ(is_supported_("a.bmp", source), 0);
  CloseHandle(file);
}

TEST_F(EntryPoints, IsSupportedAnswersZeroWhenTheHandleCannotBeRead) {
  ScratchFolder folder;
  const std::string path = folder.Write("a.qcx", std::string(64, 'x'));
  HANDLE write_only =
      CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(write_only, INVALID_HANDLE_VALUE);
  EXPECT_EQ(is_supported_(path.c_str(), reinterpret_cast<ULONG_PTR>(write_only)), 0);
  CloseHandle(write_only);
  EXPECT_EQ(is_supported_("a.qcx", 0), 0);
}

TEST_F(EntryPoints, IsSupportedWithDoubleByteNamesUnderCodePage932) {
  if (GetACP() != 932) GTEST_SKIP() << "needs code page 932";
  const auto valid = Head(MakeContainer(HeaderFor("http://h/\x95\x5C.png"), "payload"));
  EXPECT_EQ(is_supported_("C:\\\x95\x5C\\\x83\x5C.qcx", Address(valid)), 1);
  EXPECT_EQ(is_supported_("C:\\\x95\x5C.qcx\\\x83\x5C", Address(valid)), 0);
}

TEST_F(EntryPoints, GetPreviewIsNotProvidedAndTouchesNothing) {
  HLOCAL info = reinterpret_cast<HLOCAL>(0x1234);
  HLOCAL bits = reinterpret_cast<HLOCAL>(0x5678);
  EXPECT_EQ(get_preview_("a.qcx", 0, 0, &info, &bits, nullptr, 0), -1);
  EXPECT_EQ(get_preview_(nullptr, -1, 1, nullptr, nullptr, nullptr, 7), -1);
  EXPECT_EQ(info, reinterpret_cast<HLOCAL>(0x1234));
  EXPECT_EQ(bits, reinterpret_cast<HLOCAL>(0x5678));
}

}  // namespace
}  // namespace tavok::testing
