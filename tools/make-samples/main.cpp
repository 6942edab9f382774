// make-samples: writes the generated sample picture as PNG (with alpha), JPEG,
// GIF, BMP and TIFF files through the Windows Imaging Component's encoders,
// for tests and demonstrations of decoder plug-ins.
//
//   make-samples FOLDER    writes FOLDER\sample.png, .jpg, .gif, .bmp, .tif
#include <windows.h>
#include <wincodec.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/com.h"
#include "host/handles.h"
#include "sample_picture.h"

namespace tavok::samples {
namespace {

// The picture's rows top-down, as the encoders take them.
struct Pixels {
  WICPixelFormatGUID format;
  UINT stride;
  std::vector<BYTE> bytes;
};

Pixels SampleBgra() {
  Pixels pixels{GUID_WICPixelFormat32bppBGRA, kSampleWidth * 4, {}};
  for (int y = 0; y < kSampleHeight; ++y) {
    for (int x = 0; x < kSampleWidth; ++x) {
      const Bgra p = SamplePixel(x, y);
      pixels.bytes.insert(pixels.bytes.end(), {p.b, p.g, p.r, p.a});
    }
  }
  return pixels;
}

Pixels SampleBgr() {
  Pixels pixels{GUID_WICPixelFormat24bppBGR, kSampleWidth * 3, {}};
  for (int y = 0; y < kSampleHeight; ++y) {
    for (int x = 0; x < kSampleWidth; ++x) {
      const Bgra p = SamplePixel(x, y);
      pixels.bytes.insert(pixels.bytes.end(), {p.b, p.g, p.r});
    }
  }
  return pixels;
}

Pixels SampleIndexed() {
  Pixels pixels{GUID_WICPixelFormat8bppIndexed, kSampleWidth, {}};
  for (int y = 0; y < kSampleHeight; ++y) {
    for (int x = 0; x < kSampleWidth; ++x) pixels.bytes.push_back(CubeIndex(SamplePixel(x, y)));
  }
  return pixels;
}

HRESULT CubePalette(IWICImagingFactory* factory, ComPtr<IWICPalette>* palette) {
  WICColor colours[kCubeSize];
  for (int i = 0; i < kCubeSize; ++i) {
    const Bgra c = CubeColour(static_cast<uint8_t>(i));
    colours[i] = 0xFF000000u | c.r << 16 | c.g << 8 | c.b;
  }
  HRESULT hr = factory->CreatePalette(palette->put());
  if (SUCCEEDED(hr)) hr = (*palette)->InitializeCustom(colours, kCubeSize);
  return hr;
}

// Encodes one frame into a stream in memory and returns the stream's bytes.
HRESULT Encode(IWICImagingFactory* factory, const GUID& container, const Pixels& pixels,
               IWICPalette* palette, std::vector<BYTE>* encoded) {
  ComPtr<IStream> stream;
  ComPtr<IWICBitmapEncoder> encoder;
  ComPtr<IWICBitmapFrameEncode> frame;
  ComPtr<IPropertyBag2> options;
  HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, stream.put());
  if (SUCCEEDED(hr)) hr = factory->CreateEncoder(container, nullptr, encoder.put());
  if (SUCCEEDED(hr)) hr = encoder->Initialize(stream.get(), WICBitmapEncoderNoCache);
  if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(frame.put(), options.put());
  if (SUCCEEDED(hr)) hr = frame->Initialize(options.get());
  if (SUCCEEDED(hr)) hr = frame->SetSize(kSampleWidth, kSampleHeight);
  WICPixelFormatGUID format = pixels.format;
  if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&format);
  // An encoder that cannot take the pixels as they are would alter them.
  if (SUCCEEDED(hr) && !IsEqualGUID(format, pixels.format))
    hr = WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
  if (SUCCEEDED(hr) && palette != nullptr) hr = frame->SetPalette(palette);
  if (SUCCEEDED(hr)) {
    hr = frame->WritePixels(kSampleHeight, pixels.stride, static_cast<UINT>(pixels.bytes.size()),
                            const_cast<BYTE*>(pixels.bytes.data()));
  }
  if (SUCCEEDED(hr)) hr = frame->Commit();
  if (SUCCEEDED(hr)) hr = encoder->Commit();

  STATSTG stat = {};
  if (SUCCEEDED(hr)) hr = stream->Stat(&stat, STATFLAG_NONAME);
  if (SUCCEEDED(hr)) hr = stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
  if (SUCCEEDED(hr)) {
    encoded->resize(static_cast<size_t>(stat.cbSize.QuadPart));
    ULONG read = 0;
    hr = stream->Read(encoded->data(), static_cast<ULONG>(encoded->size()), &read);
    if (SUCCEEDED(hr) && read != encoded->size()) hr = E_FAIL;
  }
  return hr;
}

bool WriteFileBytes(const std::string& path, const std::vector<BYTE>& bytes) {
  unique_file file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file &&
         WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

int MakeSamples(const std::string& folder) {
  ComScope com;
  ComPtr<IWICImagingFactory> factory;
  ComPtr<IWICPalette> palette;
  HRESULT hr = com.usable()
                   ? CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                      __uuidof(IWICImagingFactory), factory.put_void())
                   : com.status();
  if (SUCCEEDED(hr)) hr = CubePalette(factory.get(), &palette);
  if (FAILED(hr)) {
    std::fprintf(stderr, "make-samples: no imaging component (0x%08lx)\n", hr);
    return 1;
  }

  const Pixels bgra = SampleBgra();
  const Pixels bgr = SampleBgr();
  const Pixels indexed = SampleIndexed();
  const struct {
    const char* name;
    const GUID& container;
    const Pixels& pixels;
    IWICPalette* palette;
  } samples[] = {
      {"sample.png", GUID_ContainerFormatPng, bgra, nullptr},
      {"sample.jpg", GUID_ContainerFormatJpeg, bgr, nullptr},
      {"sample.gif", GUID_ContainerFormatGif, indexed, palette.get()},
      {"sample.bmp", GUID_ContainerFormatBmp, bgr, nullptr},
      {"sample.tif", GUID_ContainerFormatTiff, bgr, nullptr},
  };
  for (const auto& sample : samples) {
    const std::string path = folder + "\\" + sample.name;
    std::vector<BYTE> encoded;
    hr = Encode(factory.get(), sample.container, sample.pixels, sample.palette, &encoded);
    if (FAILED(hr)) {
      std::fprintf(stderr, "make-samples: cannot encode %s (0x%08lx)\n", sample.name, hr);
      return 1;
    }
    if (!WriteFileBytes(path, encoded)) {
      std::fprintf(stderr, "make-samples: cannot write %s (error %lu)\n", path.c_str(),
                   GetLastError());
      return 1;
    }
    std::printf("wrote %s (%u bytes)\n", path.c_str(), static_cast<unsigned>(encoded.size()));
  }
  return 0;
}

}  // namespace
}  // namespace tavok::samples

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: make-samples FOLDER\n");
    return 64;
  }
  return tavok::samples::MakeSamples(argv[1]);
}
