#include "host/plugin_info.h"

#include <cstring>

namespace tavok {
namespace {

const char* const kInfo[kPluginInfoCount] = {
    "00IN",
    "QCX to DIB filter ver0.01 (c) the tavok developers",
    "*.qcx",
    "Tarnwick Cache (*.qcx)",
};

}  // namespace

const char* PluginInfoString(int32_t number) {
  if (static_cast<uint32_t>(number) >= static_cast<uint32_t>(kPluginInfoCount)) return nullptr;
  return kInfo[number];
}

int32_t CopyPluginInfo(int32_t number, char* buffer, int32_t length) {
  return CopyInfoText(PluginInfoString(number), buffer, length);
}

int32_t CopyPluginInfoW(int32_t number, wchar_t* buffer, int32_t length) {
  const char* text = PluginInfoString(number);
  if (text == nullptr || buffer == nullptr || length <= 0) return 0;
  // The strings are ASCII: each byte is one UTF-16 unit.
  int32_t n = static_cast<int32_t>(std::strlen(text)) + 1;
  if (n >= length) n = length;
  for (int32_t i = 0; i < n; ++i) buffer[i] = static_cast<unsigned char>(text[i]);
  return n;
}

int32_t CopyInfoText(const char* text, char* buffer, int32_t length) {
  if (text == nullptr || buffer == nullptr || length <= 0) return 0;
  int32_t n = static_cast<int32_t>(std::strlen(text)) + 1;
  if (n >= length) n = length;
  std::memcpy(buffer, text, static_cast<size_t>(n));
  return n;
}

}  // namespace tavok
