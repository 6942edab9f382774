#include "host/picture_input.h"

#include <cstring>

namespace tavok {

ResultCode LoadPictureInput(const char* buffer, int32_t length, uint32_t flag,
                            PictureInput* input) {
  if ((flag & kInputKindMask) != kFileInput) {
    input->data = reinterpret_cast<const uint8_t*>(buffer);
    input->size = length;
    input->name = nullptr;
    input->block.reset();
    return kSuccess;
  }

  unique_file file(
      CreateFileA(buffer, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return kReadError;

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

  // Zeroed after the read rather than before it: only the bytes the read
  // did not fill (the slack, and the rest after a short read) need it, and a
  // large file is then written once instead of twice.
  const SIZE_T block_size = static_cast<SIZE_T>(size) + kHeadSize;
  unique_hlocal block(LocalAlloc(LMEM_FIXED, block_size));
  if (!block) return kOutOfMemory;

  DWORD read = 0;
  if (!ReadFile(file.get(), block.get(), static_cast<DWORD>(size), &read, nullptr)) {
    return kReadError;
  }
  std::memset(static_cast<uint8_t*>(block.get()) + read, 0, block_size - read);

  input->data = static_cast<const uint8_t*>(block.get());
  input->size = size;
  input->name = buffer;
  input->block = std::move(block);
  return kSuccess;
}

void ReleasePictureInput(PictureInput* input) {
  input->block.reset();
  input->data = nullptr;
  input->size = 0;
  input->name = nullptr;
}

const uint8_t* LoadProbeHead(uint32_t source, uint8_t (&buffer)[kHeadSize]) {
  if ((source & 0xFFFF0000u) != 0) {
    return reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(source));
  }
  std::memset(buffer, 0, sizeof(buffer));
  DWORD read = 0;
  HANDLE file = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(source));
  if (!ReadFile(file, buffer, sizeof(buffer), &read, nullptr)) return nullptr;
  return buffer;
}

}  // namespace tavok
