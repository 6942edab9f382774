// The host's input to a picture request, loaded into one buffer.
#pragma once

#include <windows.h>

#include <cstdint>

#include "host/handles.h"
#include "host/susie.h"

namespace tavok {

struct PictureInput {
  const uint8_t* data = nullptr;
  int32_t size = 0;
  const char* name = nullptr;  // the file name for file input, else nullptr
  unique_hlocal block;         // owned for file input only
};

// File input (flag & 7 == 0): buffer names a file and length is the offset of
// the data in it; the data is read into an owned zero-filled block with
// kHeadSize zero bytes after it. Memory input: buffer and length are the data
// itself, neither copied nor owned. Returns kSuccess, kUnsupported,
// kOutOfMemory or kReadError; on failure input is left empty.
ResultCode LoadPictureInput(const char* buffer, int32_t length, uint32_t flag, PictureInput* input);

// Frees the owned block, if any, and empties input.
void ReleasePictureInput(PictureInput* input);

// The head that IsSupported looks at. A source whose upper 16 bits are 0 is an
// open file handle: up to kHeadSize bytes are read from wherever the host left
// its position (no seek) into buffer, zero-filled first. Any other source is
// the address of the file's first bytes, supplied by the host. Returns the
// head, or nullptr when the read fails.
const uint8_t* LoadProbeHead(uint32_t source, uint8_t (&buffer)[kHeadSize]);

}  // namespace tavok
