#include "request_driver.h"

#include <psapi.h>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <stdexcept>

namespace tavok::testing {
namespace {

constexpr size_t kHeadSize = 2000;
constexpr uint32_t kFileInput = 0;
constexpr uint32_t kMemoryInput = 1;
constexpr int32_t kCodes[] = {0, 1, 2, 4, 6, 8, -1};
// What a request must not leave in an output place: the host's own marker.
constexpr uint8_t kUntouched = 0x5A;

bool IsInterfaceCode(int32_t code) {
  for (int32_t known : kCodes) {
    if (code == known) return true;
  }
  return false;
}

HLOCAL UntouchedHandle() {
  HLOCAL handle;
  std::memset(&handle, kUntouched, sizeof(handle));
  return handle;
}

}  // namespace

RequestDriver::RequestDriver(const PluginHost& host, const std::vector<std::string>& fixtures)
    : is_supported_(host.is_supported()),
      get_picture_info_(host.get_picture_info()),
      get_picture_(host.get_picture()),
      memory_(64 * 1024) {
  for (const std::string& fixture : fixtures) modules_.push_back(fixture + ".spi");
}

int32_t RequestDriver::SupportedFromHead(const char* name, const std::vector<uint8_t>& bytes) {
  // Hosts hand over at least 2000 bytes of the file's head.
  std::vector<uint8_t> head(bytes.begin(),
                            bytes.begin() + (bytes.size() < kHeadSize ? bytes.size() : kHeadSize));
  head.resize(kHeadSize, 0);
  const int32_t result = is_supported_(name, reinterpret_cast<ULONG_PTR>(memory_.Place(head)));
  if (result != 0 && result != 1) Fault("IsSupported head", "answered " + std::to_string(result));
  Record("IsSupported head", result);
  CheckNothingLoaded("IsSupported head");
  return result;
}

int32_t RequestDriver::SupportedFromHandle(const std::string& path) {
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + path);
  const int32_t result = is_supported_(path.c_str(), reinterpret_cast<ULONG_PTR>(file));
  CloseHandle(file);
  if (result != 0 && result != 1) Fault("IsSupported handle", "answered " + std::to_string(result));
  Record("IsSupported handle", result);
  return result;
}

int32_t RequestDriver::InfoFromMemory(const std::vector<uint8_t>& bytes) {
  HostPictureInfo info;
  std::memset(&info, kUntouched, sizeof(info));
  const int32_t result = get_picture_info_(memory_.Place(bytes), static_cast<int32_t>(bytes.size()),
                                           kMemoryInput, &info);
  CheckInfo("GetPictureInfo memory", result, &info);
  return result;
}

int32_t RequestDriver::InfoFromFile(const std::string& path, int32_t offset) {
  HostPictureInfo info;
  std::memset(&info, kUntouched, sizeof(info));
  const int32_t result = get_picture_info_(path.c_str(), offset, kFileInput, &info);
  CheckInfo("GetPictureInfo file", result, &info);
  return result;
}

int32_t RequestDriver::PictureFromMemory(const std::vector<uint8_t>& bytes) {
  HLOCAL bitmap_info = nullptr;
  HLOCAL bitmap_bits = nullptr;
  const int32_t result = get_picture_(memory_.Place(bytes), static_cast<int32_t>(bytes.size()),
                                      kMemoryInput, &bitmap_info, &bitmap_bits, nullptr, 0);
  CheckPicture("GetPicture memory", result, bitmap_info, bitmap_bits);
  return result;
}

int32_t RequestDriver::PictureFromFile(const std::string& path, int32_t offset) {
  HLOCAL bitmap_info = nullptr;
  HLOCAL bitmap_bits = nullptr;
  const int32_t result =
      get_picture_(path.c_str(), offset, kFileInput, &bitmap_info, &bitmap_bits, nullptr, 0);
  CheckPicture("GetPicture file", result, bitmap_info, bitmap_bits);
  return result;
}

void RequestDriver::CheckInfo(const char* call, int32_t result, HostPictureInfo* info) {
  Record(call, result);
  if (result != 0) {
    // Refused before any work, the host's text field is untouched; refused
    // by the decoder, it is null. No block goes with a failure.
    if (info->text != UntouchedHandle() && info->text != nullptr) {
      Fault(call, "text information set on failure");
    }
  } else {
    if (info->colour_depth != 24) Fault(call, "depth " + std::to_string(info->colour_depth));
    if (info->text != nullptr) {
      const SIZE_T size = LocalSize(info->text);
      const char* text = static_cast<const char*>(LocalLock(info->text));
      if (text == nullptr || size == 0) {
        Fault(call, "text information is not a readable block");
      } else if (strnlen(text, size) == size) {
        Fault(call, "text information without a terminator");
      }
      if (text != nullptr) LocalUnlock(info->text);
      LocalFree(info->text);
    }
  }
  CheckNothingLoaded(call);
}

void RequestDriver::CheckPicture(const char* call, int32_t result, HLOCAL bitmap_info,
                                 HLOCAL bitmap_bits) {
  Record(call, result);
  if (result == 0) {
    if (bitmap_info == nullptr || bitmap_bits == nullptr) {
      Fault(call, "success without both blocks");
    } else if (LocalSize(bitmap_info) < sizeof(BITMAPINFOHEADER)) {
      Fault(call, "bitmap information block too small");
    } else {
      const auto* header = static_cast<const BITMAPINFOHEADER*>(LocalLock(bitmap_info));
      const uint64_t row_bytes =
          (static_cast<uint64_t>(header->biWidth) * header->biBitCount + 31) / 32 * 4;
      const uint64_t needed = row_bytes * static_cast<uint64_t>(std::abs(header->biHeight));
      if (header->biSize != sizeof(BITMAPINFOHEADER) || header->biWidth <= 0) {
        Fault(call, "malformed bitmap header");
      } else if (LocalSize(bitmap_bits) < needed) {
        Fault(call, "pixel block smaller than its header describes");
      }
      LocalUnlock(bitmap_info);
    }
  }
  // A decoder may hand over blocks along with an error code: they are the
  // host's all the same.
  if (bitmap_info != nullptr) LocalFree(bitmap_info);
  if (bitmap_bits != nullptr) LocalFree(bitmap_bits);
  CheckNothingLoaded(call);
}

void RequestDriver::CheckNothingLoaded(const char* call) {
  for (const std::string& module : modules_) {
    if (GetModuleHandleA(module.c_str()) != nullptr) Fault(call, module + " stayed loaded");
  }
}

void RequestDriver::Record(const char* call, int32_t result) {
  ++results_[call][result];
  if (!IsInterfaceCode(result)) Fault(call, "returned " + std::to_string(result));
}

void RequestDriver::Fault(const char* call, const std::string& what) {
  // The first few tell the story; a flood would drown the test's output.
  if (faults_.size() < 20) faults_.push_back(std::string(call) + ": " + what);
}

std::string RequestDriver::Summary() const {
  std::ostringstream out;
  for (const auto& [call, codes] : results_) {
    out << "  " << call << ":";
    for (const auto& [code, count] : codes) out << " " << code << "=" << count;
    out << "\n";
  }
  return out.str();
}

int CountFromEnvironment(const char* variable, int fallback) {
  const char* text = std::getenv(variable);
  const int value = text != nullptr ? std::atoi(text) : 0;
  return value > 0 ? value : fallback;
}

}  // namespace tavok::testing
