#include "decoders/picture_requests.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "container/cache_container.h"
#include "decoders/decoder_table.h"
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
  const size_t capacity = LocalSize(block);
  const void* end = std::memchr(text, '\0', capacity);
  return end != nullptr ? static_cast<size_t>(static_cast<const char*>(end) - text) : capacity;
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

HLOCAL MakeTextInformation(const char* url, HLOCAL decoder_text) {
  const size_t url_length = std::strlen(url);
  if (decoder_text == nullptr) {
    return url_length > 0 ? MakeTextBlock(url, url_length) : nullptr;
  }
  local_lock lock(decoder_text);
  const char* decoder = lock.as<const char>();
  const size_t decoder_length = decoder != nullptr ? BlockTextLength(decoder, decoder_text) : 0;
  // url, CR LF and the decoder's text, built in ordinary memory first.
  const size_t length = url_length + 2 + decoder_length;
  std::unique_ptr<char, FreeDeleter> text(static_cast<char*>(std::malloc(length)));
  if (!text) return nullptr;
  std::memcpy(text.get(), url, url_length);
  std::memcpy(text.get() + url_length, "\r\n", 2);
  if (decoder_length > 0) std::memcpy(text.get() + url_length + 2, decoder, decoder_length);
  return MakeTextBlock(text.get(), length);
}

const uint8_t* ProbeHead(const PictureInput& input, int32_t payload_offset,
                         uint8_t (&padded)[kHeadSize]) {
  const uint8_t* payload = input.data + payload_offset;
  const int32_t available = input.size - payload_offset;
  if (input.block || available >= kHeadSize) return payload;
  std::memset(padded, 0, sizeof(padded));
  std::memcpy(padded, payload, static_cast<size_t>(available));
  return padded;
}

ResultCode DispatchPictureInfo(const uint8_t* data, int32_t size, int32_t payload_offset,
                               const uint8_t* probe_head, PictureInfo* info) {
  const SourceName source = ExtractSourceName(data);
  const uint8_t* payload = data + payload_offset;
  const int32_t payload_size = size - payload_offset;

  const int32_t index = FindDecoder(kAnyCategory, probe_head, payload_size, source.name, nullptr);
  if (index < 0) {
    BuildPlaceholderInfo(info);
    info->text = MakeTextInformation(source.url, nullptr);
    return kSuccess;
  }
  DecoderPlugin& decoder = DecoderAt(index);
  info->text = nullptr;
  // The decoder's result is not looked at: the host gets what it left in info.
  decoder.QueryPictureInfo(payload, payload_size, kDecoderMemoryInput, info);
  const unique_hlocal decoder_text(info->text);
  info->text = nullptr;
  HLOCAL text = MakeTextInformation(source.url, decoder_text.get());
  decoder.Unload();
  info->text = text;
  return kSuccess;
}

ResultCode DispatchPicture(const uint8_t* data, int32_t size, int32_t payload_offset,
                           const uint8_t* probe_head, HLOCAL* bitmap_info, HLOCAL* bitmap_bits,
                           ProgressCallback progress, int32_t user) {
  const SourceName source = ExtractSourceName(data);
  const int32_t payload_size = size - payload_offset;
  const int32_t index = FindDecoder(kAnyCategory, probe_head, payload_size, source.name, nullptr);
  if (index < 0) {
    return RenderPlaceholderPicture(source.name, bitmap_info, bitmap_bits, progress, user);
  }
  DecoderPlugin& decoder = DecoderAt(index);
  const int32_t result =
      decoder.QueryPicture(data + payload_offset, payload_size, kDecoderMemoryInput, bitmap_info,
                           bitmap_bits, progress, user);
  decoder.Unload();
  return static_cast<ResultCode>(result);
}

}  // namespace tavok

// The exported picture entry points. Every block and library a request takes
// is released before it returns; the blocks handed to the host are the host's.
using namespace tavok;

namespace {

template <typename Dispatch>
int32_t WithValidatedInput(const char* buffer, int32_t length, uint32_t flag, Dispatch dispatch) {
  PictureInput input;
  const ResultCode loaded = LoadPictureInput(buffer, length, flag, &input);
  if (loaded != kSuccess) return loaded;
  const int32_t offset = ValidateContainer(input.name, input.data, input.size);
  ResultCode result = kUnsupported;
  if (offset != 0) {
    uint8_t padded[kHeadSize];
    result = dispatch(input, offset, ProbeHead(input, offset, padded));
  }
  ReleasePictureInput(&input);
  return result;
}

}  // namespace

extern "C" int32_t __stdcall GetPictureInfo(const char* buffer, int32_t length, uint32_t flag,
                                            PictureInfo* info) {
  return WithValidatedInput(
      buffer, length, flag, [info](const PictureInput& input, int32_t offset, const uint8_t* head) {
        return DispatchPictureInfo(input.data, input.size, offset, head, info);
      });
}

extern "C" int32_t __stdcall GetPicture(const char* buffer, int32_t length, uint32_t flag,
                                        HLOCAL* bitmap_info, HLOCAL* bitmap_bits,
                                        ProgressCallback progress, int32_t user) {
  return WithValidatedInput(buffer, length, flag,
                            [=](const PictureInput& input, int32_t offset, const uint8_t* head) {
                              return DispatchPicture(input.data, input.size, offset, head,
                                                     bitmap_info, bitmap_bits, progress, user);
                            });
}
