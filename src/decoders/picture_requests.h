// The picture requests: each payload goes to the first registered decoder
// that accepts it, in memory, or to the placeholder when none does.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>

#include "host/picture_input.h"
#include "host/susie.h"

namespace tavok {

// The text information handed to the host, as a new movable block: url; or,
// when the decoder gave a text block, url, CR LF and the decoder's text (read
// no further than its block, terminated or not). Null when there is no text or
// no memory for it. decoder_text stays the caller's.
HLOCAL MakeTextInformation(std::string_view url, HLOCAL decoder_text);

// The address that decoders' IsSupported reads from. Decoders may read
// kHeadSize bytes there; a loaded file carries that much zero slack, but a
// host's memory block may end sooner, in which case the head is copied into
// `padded` (zero-filled) and that copy is used instead.
const uint8_t* ProbeHead(const PictureInput& input, int32_t payload_offset,
                         uint8_t (&padded)[kHeadSize]);

// Describes the payload input.data[payload_offset, input.size) of a validated
// container: through the first decoder that accepts its head, or as the
// placeholder. The URL, when the header has one, goes in front of the text
// information: URL, CR LF, then the decoder's text. Returns the decoder's
// code; when it is not kSuccess the host gets no text block.
ResultCode DispatchPictureInfo(PictureInput& input, int32_t payload_offset, PictureInfo* info);

// Delivers the picture of the payload: the accepting decoder's own result
// code is returned unchanged; without one, the placeholder is rendered.
ResultCode DispatchPicture(PictureInput& input, int32_t payload_offset, HLOCAL* bitmap_info,
                           HLOCAL* bitmap_bits, ProgressCallback progress, LONG_PTR user);

}  // namespace tavok
