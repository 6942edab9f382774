#include "placeholder/placeholder.h"

#include <shellapi.h>

#include <cstring>

#include "host/handles.h"
#include "host/system_calls.h"

namespace tavok {

namespace {

PlaceholderSize g_size = {kDefaultPlaceholderSide, kDefaultPlaceholderSide};

// The shell's icon lookup and drawing give wrong pixels now and then when
// several threads run them at once (seen under Wine): one at a time.
critical_section g_drawing;

// Draws the shell's large icon for extension, stretched to width × height,
// into a DIB section described by header, and copies its pixels to pixels.
// Leaves pixels as they are (black) when the section or the icon is missing.
void DrawShellIcon(const char* extension, const BITMAPINFO* header, int32_t width, int32_t height,
                   void* pixels, uint32_t image_size) {
  unique_hdc dc(sys::CreateCompatibleDC(nullptr));
  if (!dc) return;
  void* section_pixels = nullptr;
  unique_hbitmap section(
      sys::CreateDIBSection(dc.get(), header, DIB_RGB_COLORS, &section_pixels, nullptr, 0));
  if (!section || section_pixels == nullptr) return;
  select_object selected(dc.get(), section.get());

  SHFILEINFOA file_info = {};
  // Icons that shell extensions provide come back empty on a host's worker
  // thread that has no COM.
  const com_scope com;
  sys::SHGetFileInfoA(extension, FILE_ATTRIBUTE_NORMAL, &file_info, sizeof(file_info),
                      SHGFI_ICON | SHGFI_USEFILEATTRIBUTES);
  unique_hicon icon(file_info.hIcon);
  if (!icon) return;
  sys::DrawIconEx(dc.get(), 0, 0, icon.get(), width, height, 0, nullptr, DI_NORMAL);
  icon.reset();
  // GDI may batch drawing calls: finish them before reading the section.
  sys::GdiFlush();
  std::memcpy(pixels, section_pixels, image_size);
}

}  // namespace

PlaceholderSize GetPlaceholderSize() {
  return g_size;
}

void SetPlaceholderSize(int32_t width, int32_t height) {
  g_size.width = AcceptedPlaceholderSide(width);
  g_size.height = AcceptedPlaceholderSide(height);
}

void BuildPlaceholderInfo(PictureInfo* info) {
  info->left = 0;
  info->top = 0;
  info->width = g_size.width;
  info->height = g_size.height;
  info->x_density = 0;
  info->y_density = 0;
  info->colour_depth = 24;
  info->text = nullptr;
}

ResultCode RenderPlaceholderPicture(const char* name, HLOCAL* bitmap_info, HLOCAL* bitmap_bits,
                                    ProgressCallback progress, LONG_PTR user) {
  if (progress != nullptr && progress(0, 1, user) != 0) return kAborted;

  char extension[kPlaceholderExtensionCapacity];
  PlaceholderExtension(name, extension);

  const int32_t width = g_size.width;
  const int32_t height = g_size.height;
  const uint32_t image_size = PlaceholderImageSize(width, height);

  unique_hlocal info_block(LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, sizeof(BITMAPINFOHEADER)));
  if (!info_block) {
    *bitmap_info = nullptr;
    return kOutOfMemory;
  }
  unique_hlocal bits_block(LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, image_size));
  if (!bits_block) {
    *bitmap_info = nullptr;
    *bitmap_bits = nullptr;
    return kOutOfMemory;
  }

  {
    local_lock header(info_block.get());
    local_lock pixels(bits_block.get());
    // Freshly allocated movable blocks lock unless memory is exhausted.
    if (!header || !pixels) {
      *bitmap_info = nullptr;
      *bitmap_bits = nullptr;
      return kOutOfMemory;
    }
    BITMAPINFOHEADER* bitmap = header.as<BITMAPINFOHEADER>();
    bitmap->biSize = sizeof(BITMAPINFOHEADER);
    bitmap->biWidth = width;
    bitmap->biHeight = height;  // bottom-up
    bitmap->biPlanes = 1;
    bitmap->biBitCount = 24;
    bitmap->biCompression = BI_RGB;
    bitmap->biSizeImage = image_size;
    const scoped_lock lock(g_drawing);
    DrawShellIcon(extension, header.as<BITMAPINFO>(), width, height, pixels.get(), image_size);
  }

  // A host that aborts gets nothing: those that take a non-zero code for "no
  // picture" would leak the blocks.
  if (progress != nullptr && progress(1, 1, user) != 0) {
    *bitmap_info = nullptr;
    *bitmap_bits = nullptr;
    return kAborted;
  }
  *bitmap_info = info_block.release();
  *bitmap_bits = bits_block.release();
  return kSuccess;
}

}  // namespace tavok
