// ifwic.spi: an example Susie import plug-in that decodes PNG, JPEG, GIF, BMP,
// TIFF and ICO through the Windows Imaging Component. Nothing here may throw
// or crash the host: every path returns a result code.
#include <windows.h>

#include <cstdint>

#include "host/handles.h"
#include "host/picture_input.h"
#include "host/plugin_info.h"
#include "host/susie.h"
#include "image_format.h"
#include "wic_picture.h"

using namespace tavok;

namespace {

// Number 0 the interface, 1 the description, then a file pattern text and its
// format name for each format.
const char* const kInfo[] = {
    "00IN",
    "ifwic 1.0: PNG, JPEG, GIF, BMP, TIFF and ICO through the Windows Imaging Component",
    "*.png",
    "PNG image",
    "*.jpg;*.jpeg;*.jpe;*.jfif",
    "JPEG image",
    "*.gif",
    "GIF image",
    "*.bmp;*.dib",
    "Windows bitmap",
    "*.tif;*.tiff",
    "TIFF image",
    "*.ico",
    "Windows icon",
};

// The host's input, loaded, and the picture in it. The picture reads from the
// input, so input must outlive it.
ResultCode OpenPicture(const char* buffer, LONG_PTR length, uint32_t flag, PictureInput* input,
                       wic::Picture* picture) {
  const uint8_t* data = nullptr;
  const ResultCode result = LoadWholeInput(buffer, length, flag, input, &data);
  return result != kSuccess ? result : picture->Open(data, input->size);
}

bool Aborted(ProgressCallback progress, int number, int denominator, LONG_PTR user) {
  return progress != nullptr && progress(number, denominator, user) != 0;
}

}  // namespace

extern "C" {

int32_t __stdcall GetPluginInfo(int32_t number, char* buffer, int32_t length) {
  const uint32_t count = sizeof(kInfo) / sizeof(kInfo[0]);
  return CopyInfoText(static_cast<uint32_t>(number) < count ? kInfo[number] : nullptr, buffer,
                      length);
}

// The name plays no part: files are recognised by their first bytes alone.
int32_t __stdcall IsSupported(const char*, ULONG_PTR source) {
  uint8_t buffer[kHeadSize];
  bool full = false;
  const uint8_t* head = LoadProbeHead(source, buffer, &full);
  return head != nullptr && wic::DetectImageFormat(head, kHeadSize) != wic::ImageFormat::kNone;
}

int32_t __stdcall GetPictureInfo(const char* buffer, LONG_PTR length, uint32_t flag,
                                 PictureInfo* info) {
  if (info == nullptr) return kUnsupported;
  PictureInput input;
  wic::Picture picture;
  const ResultCode result = OpenPicture(buffer, length, flag, &input, &picture);
  if (result != kSuccess) return result;

  *info = PictureInfo{};
  info->width = static_cast<int32_t>(picture.width());
  info->height = static_cast<int32_t>(picture.height());
  info->x_density = picture.x_dpi();
  info->y_density = picture.y_dpi();
  info->colour_depth = static_cast<int16_t>(picture.bit_count());
  info->text = picture.DescribeText();
  return kSuccess;
}

int32_t __stdcall GetPicture(const char* buffer, LONG_PTR length, uint32_t flag, HLOCAL* info,
                             HLOCAL* bits, ProgressCallback progress, LONG_PTR user) {
  if (info == nullptr || bits == nullptr) return kUnsupported;
  *info = nullptr;
  *bits = nullptr;
  if (Aborted(progress, 0, 1, user)) return kAborted;

  PictureInput input;
  wic::Picture picture;
  ResultCode result = OpenPicture(buffer, length, flag, &input, &picture);
  if (result != kSuccess) return result;
  unique_hlocal info_block;
  unique_hlocal bits_block;
  result = picture.Render(&info_block, &bits_block);
  if (result != kSuccess) return result;
  if (Aborted(progress, 1, 1, user)) return kAborted;

  *info = info_block.release();
  *bits = bits_block.release();
  return kSuccess;
}

int32_t __stdcall GetPreview(const char*, LONG_PTR, uint32_t, HLOCAL*, HLOCAL*, ProgressCallback,
                             LONG_PTR) {
  return kNotProvided;
}

// Function 0 is the About box; there is nothing to configure.
int32_t __stdcall ConfigurationDlg(HWND parent, int32_t function) {
  if (function != 0) return kNotProvided;
  MessageBoxA(parent, kInfo[1], "About ifwic", MB_OK | MB_ICONINFORMATION);
  return kSuccess;
}

}  // extern "C"
