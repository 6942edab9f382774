// One picture decoded through the Windows Imaging Component: its first frame,
// described and delivered as a bottom-up DIB in movable local-heap blocks.
#pragma once

#include <windows.h>
#include <wincodec.h>

#include <cstdint>

#include "common/com.h"
#include "host/handles.h"
#include "host/susie.h"
#include "image_format.h"

namespace tavok::wic {

class Picture {
 public:
  Picture() = default;
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;

  // Opens the image in data, which must stay valid while the picture lives.
  // kUnsupported for data that is not one of the formats or that the codec
  // rejects, kOutOfMemory when the codec runs out of memory.
  ResultCode Open(const uint8_t* data, int32_t size);

  ImageFormat format() const { return format_; }
  UINT width() const { return width_; }
  UINT height() const { return height_; }
  // 32 (BGRA) when the source carries transparency, else 24 (BGR).
  int bit_count() const { return alpha_ ? 32 : 24; }
  // Dots per inch, 0 when the source has none.
  uint16_t x_dpi() const { return x_dpi_; }
  uint16_t y_dpi() const { return y_dpi_; }

  // "PNG 64x48" in a movable block, or nullptr when none can be allocated.
  HLOCAL DescribeText() const;

  // Converts the frame into a BITMAPINFOHEADER block and a block of pixel
  // rows, bottom-up and padded to four bytes.
  ResultCode Render(unique_hlocal* info, unique_hlocal* bits) const;

 private:
  ComScope com_;  // declared first: outlives every object below
  ComPtr<IWICImagingFactory> factory_;
  ComPtr<IWICStream> stream_;
  ComPtr<IWICBitmapDecoder> decoder_;
  ComPtr<IWICBitmapFrameDecode> frame_;
  ImageFormat format_ = ImageFormat::kNone;
  UINT width_ = 0;
  UINT height_ = 0;
  bool alpha_ = false;
  uint16_t x_dpi_ = 0;
  uint16_t y_dpi_ = 0;
};

}  // namespace tavok::wic
