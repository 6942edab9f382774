// The plug-in's information strings, as GetPluginInfo reports them.
#pragma once

#include <cstdint>

namespace tavok {

constexpr int32_t kPluginInfoCount = 4;

// Number 0 the interface version, 1 the description (also the About text),
// 2 the file pattern, 3 the format name; nullptr for any other number.
const char* PluginInfoString(int32_t number);

// The GetPluginInfo contract: copies string number into buffer, truncated to
// length bytes (a truncated copy carries no terminator), and returns the bytes
// written; 0 for an unknown number or a length of 0 or less.
int32_t CopyPluginInfo(int32_t number, char* buffer, int32_t length);

// The same copy for any information text; nullptr text copies nothing.
int32_t CopyInfoText(const char* text, char* buffer, int32_t length);

// GetPluginInfoW: the same strings in UTF-16 under the same rule, length
// and result counted in characters.
int32_t CopyPluginInfoW(int32_t number, wchar_t* buffer, int32_t length);

}  // namespace tavok
