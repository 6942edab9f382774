// The host's input to a picture request, loaded into memory.
#pragma once

#include <windows.h>

#include <cstdint>

#include "host/handles.h"
#include "host/susie.h"

namespace tavok {

struct PictureInput {
  // The data from its first byte. Memory input: all of it. File input: at
  // first only its head (the header and kHeadSize bytes of payload), followed
  // by kHeadSize zero bytes; LoadWholePayload brings the rest.
  const uint8_t* data = nullptr;
  int32_t size = 0;                    // bytes of data in all
  int32_t loaded = 0;                  // bytes of data present at data
  const char* name = nullptr;          // the file name for ANSI file input
  const wchar_t* wide_name = nullptr;  // the file name for UTF-16 file input
  unique_hlocal block;                 // the head, owned for file input only
  unique_file file;                    // open for file input until the request ends
  int32_t file_offset = 0;             // where the data starts in the file
  unique_hlocal payload;               // file input: the whole payload, once needed
};

// File input (flag & 7 == 0): buffer names a file and length is the offset of
// the data in it; the file's head is read into an owned zero-filled block with
// kHeadSize zero bytes after it, however large the file is. Memory input:
// buffer and length are the data itself, neither copied nor owned. Returns
// kSuccess, kUnsupported, kOutOfMemory or kReadError; on failure input is left
// empty. An offset or a memory length of 2 GiB or more is unsupported.
ResultCode LoadPictureInput(const char* buffer, LONG_PTR length, uint32_t flag,
                            PictureInput* input);
// The same with a UTF-16 file name; memory input is the same bytes.
ResultCode LoadPictureInputW(const wchar_t* buffer, LONG_PTR length, uint32_t flag,
                             PictureInput* input);

// The container's payload offset, ValidateContainer's verdict on the input
// under the file name it was loaded by, if any; 0 when it is no container.
int32_t ValidateInput(const PictureInput& input);

// The payload data[payload_offset, size) whole, for a decoder to decode: in
// place for memory input and for a file whose head held all of it, otherwise
// read from the file into an owned block followed by kHeadSize zero bytes.
// Returns kSuccess with *payload set, kOutOfMemory or kReadError.
ResultCode LoadWholePayload(PictureInput* input, int32_t payload_offset, const uint8_t** payload);

// LoadPictureInput, then all of the data from its first byte, for callers that
// read it whole themselves (decoders, hosts): *data is set on kSuccess.
ResultCode LoadWholeInput(const char* buffer, LONG_PTR length, uint32_t flag, PictureInput* input,
                          const uint8_t** data);

// Frees what input owns and empties it.
void ReleasePictureInput(PictureInput* input);

// The head that IsSupported looks at. A source with every bit above the low 16
// clear is an open file handle: up to kHeadSize bytes are read from wherever the host left
// its position (no seek) into buffer, zero-filled first. Any other source is
// the address of the file's first bytes, supplied by the host. Returns the
// head, or nullptr when the read fails; *full tells whether the head holds
// kHeadSize bytes of the file rather than fewer and zeros.
const uint8_t* LoadProbeHead(ULONG_PTR source, uint8_t (&buffer)[kHeadSize], bool* full);

}  // namespace tavok
