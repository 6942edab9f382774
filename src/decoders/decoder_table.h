// The decoder plug-ins the user configured, in the user's order, which is
// also the order in which they are tried for a payload.
#pragma once

#include <cstdint>

#include "decoders/decoder_plugin.h"

namespace tavok {

constexpr int32_t kMaxDecoders = 10;

int32_t DecoderCount();
// Entry index, 0 to DecoderCount() - 1.
DecoderPlugin& DecoderAt(int32_t index);

// 1 when the module at path was accepted as an import plug-in of version
// "00IN" and appended; 0, with the table unchanged and nothing left loaded,
// otherwise.
int RegisterDecoder(const wchar_t* path);
// The same for a path in the ANSI code page.
int RegisterDecoder(const char* path);

// The index of the first entry in table order whose category is category,
// whose patterns match the extension (taken from name when extension is null)
// and whose IsSupported accepts the payload; that entry's library is left
// loaded for the caller to Unload. -1 when none does.
int32_t FindDecoder(uint8_t category, const uint8_t* payload, int32_t payload_size,
                    const char* name, const char* extension);

// Releases entry index and moves the later entries down one slot, in order.
void RemoveDecoder(int32_t index);

// Releases every entry and empties the table.
void UnloadAllDecoders();

}  // namespace tavok
