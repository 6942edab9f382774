#include "bmp_writer.h"

#include <cstring>
#include <cstdlib>

#include "host/handles.h"

namespace tavok::render {
namespace {

// Bytes that follow the header in the info block: three colour masks after a
// plain 40-byte header with bit fields (larger headers hold them), then the
// colour table, which palette depths always have.
uint64_t TrailerSize(const BITMAPINFOHEADER& header) {
  uint64_t masks = 0;
  if (header.biSize == sizeof(BITMAPINFOHEADER)) {
    if (header.biCompression == BI_BITFIELDS) masks = 3 * sizeof(DWORD);
    if (header.biCompression == 6 /* BI_ALPHABITFIELDS */) masks = 4 * sizeof(DWORD);
  }
  uint64_t colours = header.biClrUsed;
  if (colours == 0 && header.biBitCount <= 8) colours = uint64_t{1} << header.biBitCount;
  return masks + colours * sizeof(RGBQUAD);
}

uint64_t PixelSize(const BITMAPINFOHEADER& header) {
  const bool uncompressed = header.biCompression == BI_RGB ||
                            header.biCompression == BI_BITFIELDS ||
                            header.biCompression == 6 /* BI_ALPHABITFIELDS */;
  if (!uncompressed) return header.biSizeImage;  // RLE and embedded formats say how much
  const uint64_t stride = (static_cast<uint64_t>(header.biWidth) * header.biBitCount + 31) / 32 * 4;
  const uint64_t rows = static_cast<uint64_t>(std::llabs(header.biHeight));
  return stride > UINT32_MAX / rows ? UINT64_MAX : stride * rows;  // no block is that large
}

bool WriteAll(HANDLE file, const void* data, uint32_t size) {
  DWORD written = 0;
  return WriteFile(file, data, size, &written, nullptr) && written == size;
}

}  // namespace

bool PlanBmp(const void* info, size_t info_block_size, size_t pixel_block_size, BmpLayout* layout) {
  BITMAPINFOHEADER header;
  if (info == nullptr || info_block_size < sizeof(header)) return false;
  std::memcpy(&header, info, sizeof(header));
  if (header.biSize < sizeof(header) || header.biWidth <= 0 || header.biHeight == 0 ||
      header.biBitCount == 0 || header.biBitCount > 32) {
    return false;
  }
  const uint64_t info_size = header.biSize + TrailerSize(header);
  const uint64_t pixel_size = PixelSize(header);
  if (info_size > info_block_size || pixel_size == 0 || pixel_size > pixel_block_size) {
    return false;
  }
  layout->info_size = static_cast<uint32_t>(info_size);
  layout->pixel_size = static_cast<uint32_t>(pixel_size);
  return true;
}

bool WriteBmp(const wchar_t* path, const void* info, const void* pixels, const BmpLayout& layout) {
  BITMAPFILEHEADER file_header = {};
  file_header.bfType = 0x4D42;  // "BM"
  file_header.bfOffBits = sizeof(file_header) + layout.info_size;
  file_header.bfSize = file_header.bfOffBits + layout.pixel_size;

  unique_file file(
      CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  const bool written = WriteAll(file.get(), &file_header, sizeof(file_header)) &&
                       WriteAll(file.get(), info, layout.info_size) &&
                       WriteAll(file.get(), pixels, layout.pixel_size);
  file.reset();
  if (!written) DeleteFileW(path);
  return written;
}

}  // namespace tavok::render
