#include "decoders/picture_requests.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "container/cache_container.h"
#include "decoders/decoder_table.h"
#include "host/exports.h"
#include "placeholder/placeholder.h"

namespace tavok {
namespace {

constexpr uint8_t kAnyCategory = 0;
constexpr uint32_t kDecoderMemoryInput = 1;

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

// Length of the text in a decoder's block, never reading past the block:
// a decoder may hand over text without a terminator.
size_t BlockTextLength(const char* text, HLOCAL block) {
  return strnlen(text, LocalSize(block));
}

// A movable, zero-filled block holding length bytes of text and a
// terminator; null when it cannot be allocated.
HLOCAL MakeTextBlock(const char* text, size_t length) {
  unique_hlocal block(LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, length + 1));
  if (!block) return nullptr;
  {
    local_lock lock(block.get());
    if (!lock) return nullptr;
    std::memcpy(lock.get(), text, length);
  }
  return block.release();
}

}  // namespace

HLOCAL MakeTextInformation(std::string_view url, HLOCAL decoder_text) {
  const size_t url_length = url.size();
  if (decoder_text == nullptr) {
    return url_length > 0 ? MakeTextBlock(url.data(), url_length) : nullptr;
  }
  local_lock lock(decoder_text);
  const char* decoder = lock.as<const char>();
  const size_t decoder_length = decoder != nullptr ? BlockTextLength(decoder, decoder_text) : 0;
  // url, CR LF and the decoder's text, built in ordinary memory first.
  const size_t length = url_length + 2 + decoder_length;
  std::unique_ptr<char, FreeDeleter> text(static_cast<char*>(std::malloc(length)));
  if (!text) return nullptr;
  std::memcpy(text.get(), url.data(), url_length);
  std::memcpy(text.get() + url_length, "\r\n", 2);
  if (decoder_length > 0) std::memcpy(text.get() + url_length + 2, decoder, decoder_length);
  return MakeTextBlock(text.get(), length);
}

const uint8_t* ProbeHead(const PictureInput& input, int32_t payload_offset,
                         uint8_t (&padded)[kHeadSize]) {
  const uint8_t* payload = input.data + payload_offset;
  const int32_t available = input.loaded - payload_offset;
  if (input.block || available >= kHeadSize) return payload;
  std::memset(padded, 0, sizeof(padded));
  std::memcpy(padded, payload, static_cast<size_t>(available));
  return padded;
}

namespace {

// What both requests start from: the header's URL and name, and the decoder
// that accepts the payload's head, chosen before more than the head of a file
// is read. The decoder is the request's own reference, released when the
// request ends, whatever the table does meanwhile.
struct Choice {
  SourceName source;
  int32_t payload_size;
  int32_t index;  // FindDecoder's
  DecoderPlugin decoder;

  Choice(const PictureInput& input, int32_t payload_offset)
      : source(ExtractSourceName(input.data)), payload_size(input.size - payload_offset) {
    uint8_t padded[kHeadSize];
    index = FindDecoder(kAnyCategory, ProbeHead(input, payload_offset, padded), payload_size,
                        source.name, nullptr, &decoder);
  }
  bool found() const { return index >= 0; }
  // The picture may be the decoder's that could not be asked: no placeholder.
  bool unavailable() const { return index == kDecoderUnavailable; }
  ~Choice() { ReleaseDecoder(&decoder); }
  Choice(const Choice&) = delete;
  Choice& operator=(const Choice&) = delete;
};

}  // namespace

ResultCode DispatchPictureInfo(PictureInput& input, int32_t payload_offset, PictureInfo* info) {
  Choice choice(input, payload_offset);
  const SourceName& source = choice.source;
  const int32_t payload_size = choice.payload_size;
  if (choice.unavailable()) return kDecoderBusy;
  if (!choice.found()) {
    BuildPlaceholderInfo(info);
    info->text = MakeTextInformation(source.url, nullptr);
    return kSuccess;
  }
  DecoderPlugin& decoder = choice.decoder;
  const uint8_t* payload = nullptr;
  ResultCode result = LoadWholePayload(&input, payload_offset, &payload);
  if (result == kSuccess) {
    info->text = nullptr;
    result = static_cast<ResultCode>(
        decoder.QueryPictureInfo(payload, payload_size, kDecoderMemoryInput, info));
    const unique_hlocal decoder_text(info->text);
    // A failed description is no description: hosts that size windows and
    // buffers from it must not get a text block to go with it either.
    info->text = nullptr;
    if (result == kSuccess) info->text = MakeTextInformation(source.url, decoder_text.get());
  }
  return result;
}

ResultCode DispatchPicture(PictureInput& input, int32_t payload_offset, HLOCAL* bitmap_info,
                           HLOCAL* bitmap_bits, ProgressCallback progress, LONG_PTR user) {
  Choice choice(input, payload_offset);
  if (choice.unavailable()) return kDecoderBusy;
  if (!choice.found()) {
    return RenderPlaceholderPicture(choice.source.name, bitmap_info, bitmap_bits, progress, user);
  }
  DecoderPlugin& decoder = choice.decoder;
  const uint8_t* payload = nullptr;
  ResultCode result = LoadWholePayload(&input, payload_offset, &payload);
  if (result == kSuccess) {
    result = static_cast<ResultCode>(decoder.QueryPicture(payload, choice.payload_size,
                                                          kDecoderMemoryInput, bitmap_info,
                                                          bitmap_bits, progress, user));
  }
  return result;
}

}  // namespace tavok

// The exported picture entry points. Every block and library a request takes
// is released before it returns; the blocks handed to the host are the host's.
using namespace tavok;

namespace {

// The ANSI and the UTF-16 entry points share everything from the loaded
// input on.
template <typename Dispatch>
int32_t WithValidatedInput(ResultCode loaded, PictureInput& input, Dispatch dispatch) {
  // The first picture request registers the decoders, whatever it asks for.
  const table_load_scope table;
  if (loaded != kSuccess) return loaded;
  const int32_t offset = ValidateInput(input);
  const ResultCode result = offset != 0 ? dispatch(input, offset) : kUnsupported;
  ReleasePictureInput(&input);
  return result;
}

auto Describe(PictureInfo* info) {
  return [info](PictureInput& input, int32_t offset) {
    return DispatchPictureInfo(input, offset, info);
  };
}

auto Deliver(HLOCAL* bitmap_info, HLOCAL* bitmap_bits, ProgressCallback progress, LONG_PTR user) {
  return [=](PictureInput& input, int32_t offset) {
    return DispatchPicture(input, offset, bitmap_info, bitmap_bits, progress, user);
  };
}

}  // namespace

extern "C" int32_t __stdcall GetPictureInfo(const char* buffer, LONG_PTR length, uint32_t flag,
                                            PictureInfo* info) {
  PictureInput input;
  return WithValidatedInput(LoadPictureInput(buffer, length, flag, &input), input, Describe(info));
}

extern "C" int32_t __stdcall GetPictureInfoW(const wchar_t* buffer, LONG_PTR length, uint32_t flag,
                                             PictureInfo* info) {
  PictureInput input;
  return WithValidatedInput(LoadPictureInputW(buffer, length, flag, &input), input, Describe(info));
}

extern "C" int32_t __stdcall GetPicture(const char* buffer, LONG_PTR length, uint32_t flag,
                                        HLOCAL* bitmap_info, HLOCAL* bitmap_bits,
                                        ProgressCallback progress, LONG_PTR user) {
  PictureInput input;
  return WithValidatedInput(LoadPictureInput(buffer, length, flag, &input), input,
                            Deliver(bitmap_info, bitmap_bits, progress, user));
}

extern "C" int32_t __stdcall GetPictureW(const wchar_t* buffer, LONG_PTR length, uint32_t flag,
                                         HLOCAL* bitmap_info, HLOCAL* bitmap_bits,
                                         ProgressCallback progress, LONG_PTR user) {
  PictureInput input;
  return WithValidatedInput(LoadPictureInputW(buffer, length, flag, &input), input,
                            Deliver(bitmap_info, bitmap_bits, progress, user));
}
