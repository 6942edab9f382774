#include "wic_picture.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace tavok::wic {
namespace {

// Codecs report damaged data in many ways; all but exhaustion mean "not a
// picture we can deliver".
ResultCode CodecFailure(HRESULT hr) {
  return hr == E_OUTOFMEMORY ? kOutOfMemory : kUnsupported;
}

bool IsIndexed(const WICPixelFormatGUID& format) {
  return IsEqualGUID(format, GUID_WICPixelFormat1bppIndexed) ||
         IsEqualGUID(format, GUID_WICPixelFormat2bppIndexed) ||
         IsEqualGUID(format, GUID_WICPixelFormat4bppIndexed) ||
         IsEqualGUID(format, GUID_WICPixelFormat8bppIndexed);
}

// Indexed frames are transparent only when their palette says so (a GIF's
// transparent colour); other formats declare it with their pixel format.
bool HasAlpha(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame) {
  WICPixelFormatGUID format;
  if (FAILED(frame->GetPixelFormat(&format))) return false;
  BOOL alpha = FALSE;
  if (IsIndexed(format)) {
    ComPtr<IWICPalette> palette;
    if (FAILED(factory->CreatePalette(palette.put())) || FAILED(frame->CopyPalette(palette.get())))
      return false;
    return SUCCEEDED(palette->HasAlpha(&alpha)) && alpha;
  }
  ComPtr<IWICComponentInfo> component;
  ComPtr<IWICPixelFormatInfo2> pixel_format;
  return SUCCEEDED(factory->CreateComponentInfo(format, component.put())) &&
         SUCCEEDED(
             component->QueryInterface(__uuidof(IWICPixelFormatInfo2), pixel_format.put_void())) &&
         SUCCEEDED(pixel_format->SupportsTransparency(&alpha)) && alpha;
}

uint16_t ToDensity(double dpi) {
  if (!(dpi > 0)) return 0;  // also NaN
  return dpi >= 65535 ? 65535 : static_cast<uint16_t>(std::lround(dpi));
}

LONG ToPelsPerMeter(uint16_t dpi) {
  return std::lround(dpi / 0.0254);
}

}  // namespace

ResultCode Picture::Open(const uint8_t* data, int32_t size) {
  if (data == nullptr || size <= 0) return kUnsupported;
  format_ = DetectImageFormat(data, static_cast<size_t>(size));
  if (format_ == ImageFormat::kNone) return kUnsupported;
  if (!com_.usable()) return CodecFailure(com_.status());

  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                __uuidof(IWICImagingFactory), factory_.put_void());
  if (SUCCEEDED(hr)) hr = factory_->CreateStream(stream_.put());
  if (SUCCEEDED(hr)) {
    hr = stream_->InitializeFromMemory(const_cast<BYTE*>(data), static_cast<DWORD>(size));
  }
  if (SUCCEEDED(hr)) {
    hr = factory_->CreateDecoderFromStream(stream_.get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                           decoder_.put());
  }
  if (SUCCEEDED(hr)) hr = decoder_->GetFrame(0, frame_.put());
  if (SUCCEEDED(hr)) hr = frame_->GetSize(&width_, &height_);
  if (FAILED(hr)) return CodecFailure(hr);
  // WICRect works in signed coordinates.
  if (width_ == 0 || height_ == 0 || width_ > INT32_MAX || height_ > INT32_MAX) {
    return kUnsupported;
  }

  double x_dpi = 0;
  double y_dpi = 0;
  if (SUCCEEDED(frame_->GetResolution(&x_dpi, &y_dpi))) {
    x_dpi_ = ToDensity(x_dpi);
    y_dpi_ = ToDensity(y_dpi);
  }
  alpha_ = HasAlpha(factory_.get(), frame_.get());
  return kSuccess;
}

HLOCAL Picture::DescribeText() const {
  char text[48];
  const int length =
      std::snprintf(text, sizeof(text), "%s %ux%u", ImageFormatName(format_), width_, height_);
  if (length < 0) return nullptr;
  unique_hlocal block(LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, static_cast<SIZE_T>(length) + 1));
  local_lock lock(block.get());
  if (!lock) return nullptr;
  std::memcpy(lock.get(), text, static_cast<size_t>(length));
  return block.release();
}

ResultCode Picture::Render(unique_hlocal* info, unique_hlocal* bits) const {
  const uint64_t stride = (static_cast<uint64_t>(width_) * bit_count() + 31) / 32 * 4;
  const uint64_t image_size = stride * height_;
  if (image_size > INT32_MAX) return kOutOfMemory;
  const UINT bgra_stride = width_ * 4;  // within range: at most 4/3 of a 24-bit stride

  // Every codec converts to BGRA; not every one converts to BGR (Wine's GIF
  // frames do not), so 24-bit rows are packed here.
  ComPtr<IWICFormatConverter> converter;
  HRESULT hr = factory_->CreateFormatConverter(converter.put());
  if (SUCCEEDED(hr)) {
    hr = converter->Initialize(frame_.get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                               nullptr, 0.0, WICBitmapPaletteTypeCustom);
  }
  if (FAILED(hr)) return CodecFailure(hr);

  unique_hlocal header_block(LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, sizeof(BITMAPINFOHEADER)));
  unique_hlocal pixel_block(
      LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, static_cast<SIZE_T>(image_size)));
  unique_hlocal row_block(alpha_ ? nullptr : LocalAlloc(LMEM_FIXED, bgra_stride));
  if (!header_block || !pixel_block || (!alpha_ && !row_block)) return kOutOfMemory;
  {
    local_lock pixels(pixel_block.get());
    if (!pixels) return kOutOfMemory;
    // Row by row, so that the top row of the source lands in the last DIB row
    // without a second buffer to flip.
    for (UINT y = 0; y < height_; ++y) {
      const WICRect row = {0, static_cast<INT>(y), static_cast<INT>(width_), 1};
      BYTE* target = pixels.as<BYTE>() + (height_ - 1 - y) * stride;
      BYTE* bgra = alpha_ ? target : static_cast<BYTE*>(row_block.get());
      hr = converter->CopyPixels(&row, bgra_stride, bgra_stride, bgra);
      if (FAILED(hr)) return CodecFailure(hr);
      if (alpha_) continue;
      for (UINT x = 0; x < width_; ++x) {
        target[3 * x] = bgra[4 * x];
        target[3 * x + 1] = bgra[4 * x + 1];
        target[3 * x + 2] = bgra[4 * x + 2];
      }
    }
  }
  {
    local_lock header(header_block.get());
    if (!header) return kOutOfMemory;
    BITMAPINFOHEADER* h = header.as<BITMAPINFOHEADER>();
    h->biSize = sizeof(BITMAPINFOHEADER);
    h->biWidth = static_cast<LONG>(width_);
    h->biHeight = static_cast<LONG>(height_);
    h->biPlanes = 1;
    h->biBitCount = static_cast<WORD>(bit_count());
    h->biCompression = BI_RGB;
    h->biSizeImage = static_cast<DWORD>(image_size);
    h->biXPelsPerMeter = ToPelsPerMeter(x_dpi_);
    h->biYPelsPerMeter = ToPelsPerMeter(y_dpi_);
  }
  *info = std::move(header_block);
  *bits = std::move(pixel_block);
  return kSuccess;
}

}  // namespace tavok::wic
