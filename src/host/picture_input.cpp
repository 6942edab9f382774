#include "host/picture_input.h"

#include <climits>
#include <cstring>

#include "container/cache_container.h"

namespace tavok {
namespace {

// Reads up to count bytes at the file's position into destination and zeroes
// what the read did not fill up to count + kHeadSize. A short read is no error:
// the file may be shorter than its size said by now.
bool ReadZeroPadded(HANDLE file, uint8_t* destination, DWORD count) {
  DWORD read = 0;
  if (count > 0 && !ReadFile(file, destination, count, &read, nullptr)) return false;
  std::memset(destination + read, 0, static_cast<size_t>(count - read) + kHeadSize);
  return true;
}

int32_t ReadLengthWord(const uint8_t* bytes) {
  return static_cast<int32_t>(
      static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
      (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24));
}

// How much of the data the head holds: the header and kHeadSize bytes of
// payload when the length word fits the data, else no more than any valid
// container's smallest header needs to be refused.
int32_t HeadBytes(int32_t length_word, int32_t size) {
  constexpr int32_t kShortest = 16;
  int64_t wanted = kShortest;
  if (length_word >= 0 && length_word <= size - 4) wanted = int64_t{4} + length_word + kHeadSize;
  return wanted < size ? static_cast<int32_t>(wanted) : size;
}

// The ANSI and the UTF-16 entry points differ only in how the file is named.
struct FileName {
  const char* ansi;
  const wchar_t* wide;
};

HANDLE OpenShared(const FileName& name) {
  // The cache's owner may hold the file open for writing, or rename it, while
  // a viewer shows it: tavok must neither fail because of that nor stand in
  // the owner's way.
  constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  return name.wide != nullptr
             ? CreateFileW(name.wide, GENERIC_READ, kShare, nullptr, OPEN_EXISTING, 0, nullptr)
             : CreateFileA(name.ansi, GENERIC_READ, kShare, nullptr, OPEN_EXISTING, 0, nullptr);
}

ResultCode LoadInput(const void* buffer, const FileName& name, LONG_PTR length_or_offset,
                     uint32_t flag, PictureInput* input) {
  if ((flag & kInputKindMask) != kFileInput) {
    // Cut to 32 bits, a negative 64-bit length could come out as a small
    // positive one.
    if (length_or_offset < 0 || length_or_offset > INT32_MAX) return kUnsupported;
    ReleasePictureInput(input);
    input->data = static_cast<const uint8_t*>(buffer);
    input->size = static_cast<int32_t>(length_or_offset);
    input->loaded = input->size;
    return kSuccess;
  }

  unique_file file(OpenShared(name));
  if (!file) return kReadError;
  if (length_or_offset < 0 || length_or_offset > INT32_MAX) return kUnsupported;
  const int32_t length = static_cast<int32_t>(length_or_offset);

  DWORD high = 0;
  const DWORD low = GetFileSize(file.get(), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return kReadError;
  // The size is taken as a signed 32-bit difference, so an offset past the end
  // and anything of 2 GiB or more come out below 8. A negative offset would
  // make the difference reach back before the file's start: refused as well.
  const int32_t size = static_cast<int32_t>(low - static_cast<DWORD>(length));
  if (length < 0 || size < 8 || high != 0) return kUnsupported;

  const DWORD position = SetFilePointer(file.get(), length, nullptr, FILE_BEGIN);
  if (position == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return kReadError;

  uint8_t length_word[4] = {};
  DWORD read = 0;
  if (!ReadFile(file.get(), length_word, sizeof(length_word), &read, nullptr)) return kReadError;
  const int32_t head_bytes = HeadBytes(ReadLengthWord(length_word), size);

  unique_hlocal block(LocalAlloc(LMEM_FIXED, static_cast<SIZE_T>(head_bytes) + kHeadSize));
  if (!block) return kOutOfMemory;
  auto* head = static_cast<uint8_t*>(block.get());
  std::memcpy(head, length_word, read);
  std::memset(head + read, 0, sizeof(length_word) - read);
  if (!ReadZeroPadded(file.get(), head + sizeof(length_word),
                      static_cast<DWORD>(head_bytes) - sizeof(length_word))) {
    return kReadError;
  }

  ReleasePictureInput(input);
  input->data = head;
  input->size = size;
  input->loaded = head_bytes;
  input->name = name.ansi;
  input->wide_name = name.wide;
  input->block = std::move(block);
  input->file = std::move(file);
  input->file_offset = length;
  return kSuccess;
}

}  // namespace

ResultCode LoadPictureInput(const char* buffer, LONG_PTR length, uint32_t flag,
                            PictureInput* input) {
  return LoadInput(buffer, FileName{buffer, nullptr}, length, flag, input);
}

ResultCode LoadPictureInputW(const wchar_t* buffer, LONG_PTR length, uint32_t flag,
                             PictureInput* input) {
  return LoadInput(buffer, FileName{nullptr, buffer}, length, flag, input);
}

int32_t ValidateInput(const PictureInput& input) {
  return input.wide_name != nullptr ? ValidateContainerW(input.wide_name, input.data, input.size)
                                    : ValidateContainer(input.name, input.data, input.size);
}

ResultCode LoadWholePayload(PictureInput* input, int32_t payload_offset, const uint8_t** payload) {
  if (input->loaded >= input->size) {
    *payload = input->data + payload_offset;
    return kSuccess;
  }
  const int32_t payload_size = input->size - payload_offset;
  unique_hlocal block(LocalAlloc(LMEM_FIXED, static_cast<SIZE_T>(payload_size) + kHeadSize));
  if (!block) return kOutOfMemory;
  auto* bytes = static_cast<uint8_t*>(block.get());

  // The head already holds the payload's first bytes; the rest follows them
  // in the file.
  const int32_t in_head = input->loaded - payload_offset;
  std::memcpy(bytes, input->data + payload_offset, static_cast<size_t>(in_head));
  LARGE_INTEGER position;
  position.QuadPart = int64_t{input->file_offset} + input->loaded;
  if (!SetFilePointerEx(input->file.get(), position, nullptr, FILE_BEGIN)) return kReadError;
  if (!ReadZeroPadded(input->file.get(), bytes + in_head,
                      static_cast<DWORD>(payload_size - in_head))) {
    return kReadError;
  }
  input->payload = std::move(block);
  *payload = bytes;
  return kSuccess;
}

ResultCode LoadWholeInput(const char* buffer, LONG_PTR length, uint32_t flag, PictureInput* input,
                          const uint8_t** data) {
  const ResultCode result = LoadPictureInput(buffer, length, flag, input);
  return result != kSuccess ? result : LoadWholePayload(input, 0, data);
}

void ReleasePictureInput(PictureInput* input) {
  input->payload.reset();
  input->block.reset();
  input->file.reset();
  input->data = nullptr;
  input->size = 0;
  input->loaded = 0;
  input->name = nullptr;
  input->wide_name = nullptr;
  input->file_offset = 0;
}

const uint8_t* LoadProbeHead(ULONG_PTR source, uint8_t (&buffer)[kHeadSize], bool* full) {
  if ((source & ~ULONG_PTR{0xFFFF}) != 0) {
    *full = true;
    return reinterpret_cast<const uint8_t*>(source);
  }
  std::memset(buffer, 0, sizeof(buffer));
  DWORD read = 0;
  HANDLE file = reinterpret_cast<HANDLE>(source);
  if (!ReadFile(file, buffer, sizeof(buffer), &read, nullptr)) return nullptr;
  *full = read == sizeof(buffer);
  return buffer;
}

}  // namespace tavok
