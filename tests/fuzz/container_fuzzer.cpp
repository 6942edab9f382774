// Fuzz target over cache-container validation and header parsing, under both
// lead-byte tables. Built with libFuzzer by the "fuzz" preset, and replayed
// over the committed corpus and regression inputs by the native tests.
//
// Input layout:
//   byte 0        bit 0: code page 932 lead bytes (else single-byte)
//                 bit 1: a file name is given
//   name          when bit 1 is set: the bytes up to the first zero byte
//   data          the rest: the container bytes, in a buffer of exactly that
//                 size so that the sanitizer sees any read past its end
//
// Besides memory errors, each run checks what callers rely on: the payload
// offset lies inside the data right after a CR LF, the name only filters,
// the 2000-byte head that IsSupported looks at agrees with the whole data,
// and the URL and name are taken from the header; the image format is read
// from the payload and from the data, each in a buffer of its exact size, and
// a name takes a format's extension within its bound. The data, read as UTF-16
// settings text, is edited as a save edits it: the result stays inside its
// bound and reads back as the values written.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include "container/cache_container.h"
#include "container/image_signature.h"
#include "container/lead_bytes.h"
#include "container/mbcs.h"
#include "container/profile_text.h"
#include "placeholder/placeholder_layout.h"

namespace {

constexpr int32_t kHead = 2000;

[[noreturn]] void Fail(const char* what, int line) {
  std::fprintf(stderr, "container_fuzzer: check failed at line %d: %s\n", line, what);
  std::abort();
}

#define CHECK(condition)                          \
  do {                                            \
    if (!(condition)) Fail(#condition, __LINE__); \
  } while (false)

// An exactly sized copy: the sanitizer catches any access past its end.
std::unique_ptr<uint8_t[]> ExactCopy(const uint8_t* bytes, size_t size) {
  std::unique_ptr<uint8_t[]> copy(new uint8_t[size > 0 ? size : 1]);
  if (size > 0) std::memcpy(copy.get(), bytes, size);
  return copy;
}

// Where the name's terminated copy ends: the text may hold no zero byte.
const uint8_t* FindZero(const uint8_t* begin, const uint8_t* end) {
  const void* zero = std::memchr(begin, 0, static_cast<size_t>(end - begin));
  return zero != nullptr ? static_cast<const uint8_t*>(zero) : end;
}

int32_t HeaderLength(const uint8_t* data) {
  return static_cast<int32_t>(
      static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8) |
      (static_cast<uint32_t>(data[2]) << 16) | (static_cast<uint32_t>(data[3]) << 24));
}

void CheckSourceName(const uint8_t* data, int32_t offset, bool double_byte) {
  const tavok::SourceName source = tavok::ExtractSourceName(data);
  const std::string_view url = source.url;
  const size_t name_length = strnlen(source.name, sizeof(source.name));
  CHECK(name_length < sizeof(source.name));

  // The url lies inside the header, right after "URL=", followed by CR LF.
  const char* header = reinterpret_cast<const char*>(data + 4);
  const char* header_end = reinterpret_cast<const char*>(data + offset);
  if (!url.empty()) {
    CHECK(url.data() >= header + 4 && url.data() + url.size() + 2 <= header_end);
    CHECK(std::memcmp(url.data() - 4, "URL=", 4) == 0);
    CHECK(std::memcmp(url.data() + url.size(), "\r\n", 2) == 0);
    CHECK(std::memchr(url.data(), '\0', url.size()) == nullptr);
  }
  // The name is the start of the last segment of the url's path: all of it
  // or its first 259 bytes, never holding a query or fragment mark.
  if (name_length > 0) {
    const std::string_view name(source.name, name_length);
    bool found = false;
    for (size_t at = 1; at + name_length <= url.size() && !found; ++at) {
      const char after = at + name_length < url.size() ? url[at + name_length] : '\0';
      found =
          url[at - 1] == '/' && url.compare(at, name_length, name) == 0 &&
          (after == '\0' || after == '?' || after == '#' || name_length == sizeof(source.name) - 1);
    }
    CHECK(found);
    // Under a double-byte table a "?" may be a character's trail byte.
    if (!double_byte) CHECK(name.find_first_of("?#") == std::string_view::npos);
  }

  // A decoder asked for what the payload's bytes show is told the name with
  // that format's extension, always whole and inside the name's buffer.
  char renamed[sizeof(source.name)];
  tavok::NameWithExtension(source.name, ".jpeg", renamed, sizeof(renamed));
  const size_t renamed_length = strnlen(renamed, sizeof(renamed));
  CHECK(renamed_length < sizeof(renamed) && renamed_length >= 5);
  CHECK(std::memcmp(renamed + renamed_length - 5, ".jpeg", 5) == 0);

  char extension[tavok::kPlaceholderExtensionCapacity];
  tavok::PlaceholderExtension(source.name, extension);
  CHECK(strnlen(extension, sizeof(extension)) < sizeof(extension));
  CHECK(extension[0] == '.');
}

// The format read from a head in a buffer of exactly its size, whatever that
// size: a format names at least one extension, each dotted.
void CheckImageFormat(const uint8_t* head, size_t size) {
  const tavok::ImageFormat* format = tavok::RecognizeImageFormat(head, size);
  if (format == nullptr) return;
  CHECK(format->extensions[0] != nullptr);
  for (const char* const* extension = format->extensions; *extension != nullptr; ++extension) {
    CHECK((*extension)[0] == '.');
  }
}

void CheckProfileEdit(const uint8_t* data, size_t size) {
  std::unique_ptr<wchar_t[]> text(new wchar_t[size / 2 + 1]);
  for (size_t i = 0; i < size / 2; ++i) {
    text[i] = static_cast<wchar_t>(data[2 * i] | (data[2 * i + 1] << 8));
  }
  const std::wstring_view before(text.get(), size / 2);
  const tavok::ProfileEdit edits[] = {
      {L"Count", L"2"}, {L"Path0", L"a.spi"}, {L"Path1", L"C:\\b.spi"}, {L"Path2", nullptr}};
  const size_t bound = tavok::EditedProfileBound(before, L"SPI", edits, 4);
  std::unique_ptr<wchar_t[]> out(new wchar_t[bound]);
  const size_t length = tavok::EditProfile(before, L"SPI", edits, 4, out.get());
  CHECK(length <= bound);
  const std::wstring_view after(out.get(), length);
  for (const tavok::ProfileEdit& edit : edits) {
    std::wstring_view value;
    const bool found = tavok::FindProfileValue(after, L"SPI", edit.key, &value);
    CHECK(found == (edit.value != nullptr));
    if (found) CHECK(value == edit.value);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size == 0) return 0;
  const uint8_t flags = input[0];
  tavok::UseLeadBytes((flags & 1) != 0 ? tavok::CodePage932Set() : tavok::SingleByteSet());
  const uint8_t* rest = input + 1;
  const uint8_t* end = input + size;

  std::unique_ptr<char[]> name;
  if ((flags & 2) != 0) {
    const uint8_t* zero = FindZero(rest, end);
    const size_t name_size = static_cast<size_t>(zero - rest);
    name.reset(new char[name_size + 1]);
    std::memcpy(name.get(), rest, name_size);
    name[name_size] = '\0';
    rest = zero < end ? zero + 1 : end;
  }
  const size_t data_size = static_cast<size_t>(end - rest);
  if (data_size > 0x7FFFFFFF) return 0;
  const int32_t length = static_cast<int32_t>(data_size);
  const std::unique_ptr<uint8_t[]> data = ExactCopy(rest, data_size);

  const int32_t any_name = tavok::ValidateContainer(nullptr, data.get(), length);
  const int32_t offset = tavok::ValidateContainer(name.get(), data.get(), length);
  CHECK(offset == 0 || offset == any_name);
  if (any_name != 0) {
    CHECK(any_name >= 16 && any_name <= length);
    CHECK(any_name == HeaderLength(data.get()) + 4);
    CHECK(data[any_name - 2] == '\r' && data[any_name - 1] == '\n');
    CheckSourceName(data.get(), any_name, (flags & 1) != 0);
    CheckImageFormat(data.get() + any_name, data_size - any_name);
  }
  CheckImageFormat(data.get(), data_size);

  // IsSupported looks at a zero-filled 2000-byte head: it must accept every
  // container the whole data holds, and agree exactly whenever the header
  // ends inside that head.
  uint8_t head[kHead] = {};
  std::memcpy(head, data.get(), data_size < sizeof(head) ? data_size : sizeof(head));
  const bool full = data_size >= sizeof(head);
  const bool from_head = tavok::HeadShowsContainer(name.get(), head, kHead, full);
  if (offset != 0) CHECK(from_head);
  if (from_head && offset == 0) CHECK(full && HeaderLength(head) > kHead - 4);
  CheckProfileEdit(data.get(), data_size);
  return 0;
}
