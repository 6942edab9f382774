// bench: measures tavok's costs against the work it delegates, under the same
// conditions, and prints Markdown tables.
//
//   bench.exe --tavok TAVOK.spi --decoder DECODER.spi --fixture FIXTURE.spi
//             [--second-fixture FIXTURE.spi] [--work FOLDER] [--max-mb N]
//
// DECODER is a real decoder that accepts .bmp payloads (the example WIC
// decoder); FIXTURE is a decoder that accepts .png payloads without reading
// them (the test fixture fx_png), so that tavok's own costs show alone; the
// second fixture does the same for .jpg (fx_jpeg).
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "container/image_signature.h"
#include "host/handles.h"
#include "host/picture_input.h"
#include "make-samples/png_writer.h"
#include "placeholder/placeholder.h"

namespace {

using tavok::FindExport;
using tavok::GetPictureFn;
using tavok::IsSupportedFn;
using tavok::unique_file;
using tavok::unique_hlocal;
using tavok::unique_hmodule;

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Median seconds of one call over `runs` runs (after one warm-up call).
double Median(int runs, const std::function<void()>& call) {
  call();
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const double start = Now();
    call();
    times.push_back(Now() - start);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

int RunsFor(size_t bytes) {
  return bytes >= (16u << 20) ? 5 : bytes >= (1u << 20) ? 11 : 51;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  const unique_file file(
      CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// A 24-bit BMP file of about `bytes` bytes, with a gradient.
std::string MakeBmp(size_t bytes) {
  int width = 1;
  while (static_cast<size_t>(width + 1) * (width + 1) * 3 <= bytes) ++width;
  const int height = width;
  const size_t row = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER info = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(file) + sizeof(info);
  file.bfSize = static_cast<DWORD>(file.bfOffBits + row * height);
  info.biSize = sizeof(info);
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biSizeImage = static_cast<DWORD>(row * height);
  std::string bmp(reinterpret_cast<const char*>(&file), sizeof(file));
  bmp.append(reinterpret_cast<const char*>(&info), sizeof(info));
  std::string pixels(row * height, '\0');
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<char>((i * 7) & 0xFF);
  return bmp + pixels;
}

std::string Wrap(const std::string& payload, const char* name = "picture.bmp") {
  const std::string header =
      std::string("VERSION=1\r\nURL=http://example.com/bench/") + name + "\r\nSTATUS=200\r\n";
  const int32_t n = static_cast<int32_t>(header.size());
  return std::string(reinterpret_cast<const char*>(&n), 4) + header + payload;
}

std::string SizeLabel(size_t bytes) {
  char text[32];
  if (bytes >= (1u << 20)) {
    std::snprintf(text, sizeof(text), "%zu MB", bytes >> 20);
  } else {
    std::snprintf(text, sizeof(text), "%zu KB", bytes >> 10);
  }
  return text;
}

struct Options {
  std::string tavok, decoder, fixture, second_fixture, declining, work = ".";
  // The stripped DLLs of the release, and the do-nothing plug-in.
  std::string release_tavok, release_decoder, floor;
  size_t max_mb = 64;
  size_t large_mb = 300;
  std::string only;  // one section by name, or all when empty
};

// A plug-in folder: a copy of tavok whose tavok.ini lists decoders, and
// options_ini's lines in its Options section.
unique_hmodule LoadTavokListing(const Options& options, const std::string& folder_name,
                                const std::vector<std::string>& decoders,
                                const std::string& options_ini) {
  const std::string folder = options.work + "\\" + folder_name;
  const std::string tavok = folder + "\\" + tavok::kOwnFileName;
  CreateDirectoryA(folder.c_str(), nullptr);
  CopyFileA(options.tavok.c_str(), tavok.c_str(), FALSE);
  std::string ini = "[SPI]\r\nCount=" + std::to_string(decoders.size()) + "\r\n";
  for (size_t i = 0; i < decoders.size(); ++i) {
    ini += "Path" + std::to_string(i) + "=" + decoders[i] + "\r\n";
  }
  WriteFileBytes(folder + "\\tavok.ini", ini + "[Options]\r\n" + options_ini);
  return unique_hmodule(LoadLibraryA(tavok.c_str()));
}

// The same, with one decoder, kept loaded or not.
unique_hmodule LoadTavokWith(const Options& options, const std::string& folder_name,
                             const std::string& decoder, bool keep_loaded = false) {
  return LoadTavokListing(options, folder_name, {decoder},
                          std::string("KeepDecodersLoaded=") + (keep_loaded ? "1" : "0") + "\r\n");
}

void DelegationOverhead(const Options& options) {
  std::printf("\n## Delegation overhead (GetPicture, BMP payload, example decoder)\n\n");
  std::printf(
      "| payload | decoder on the bare payload | through tavok, file input | ratio | "
      "added | through tavok, memory input | ratio | added |\n");
  std::printf("|---|---|---|---|---|---|---|---|\n");
  for (size_t bytes : {size_t{10} << 10, size_t{1} << 20, size_t{16} << 20}) {
    const std::string bmp = MakeBmp(bytes);
    const std::string cache = options.work + "\\overhead.qcx";
    const std::string cached = Wrap(bmp);
    WriteFileBytes(cache, cached);

    double direct = 0;
    {
      // Released before tavok runs: a decoder still mapped would spare tavok's
      // requests their module load.
      const unique_hmodule decoder(LoadLibraryA(options.decoder.c_str()));
      auto decode = FindExport<GetPictureFn>(decoder.get(), "GetPicture");
      direct = Median(RunsFor(bytes), [&] {
        unique_hlocal info, bits;
        decode(bmp.data(), static_cast<int32_t>(bmp.size()), 1, info.put(), bits.put(), nullptr, 0);
      });
    }

    const unique_hmodule tavok = LoadTavokWith(options, "overhead", options.decoder);
    auto through = FindExport<GetPictureFn>(tavok.get(), "GetPicture");
    const double delegated = Median(RunsFor(bytes), [&] {
      unique_hlocal info, bits;
      through(cache.c_str(), 0, 0, info.put(), bits.put(), nullptr, 0);
    });
    const double in_memory = Median(RunsFor(bytes), [&] {
      unique_hlocal info, bits;
      through(cached.data(), static_cast<int32_t>(cached.size()), 1, info.put(), bits.put(),
              nullptr, 0);
    });
    std::printf("| %s | %.3f ms | %.3f ms | %.3fx | %.3f ms | %.3f ms | %.3fx | %.3f ms |\n",
                SizeLabel(bytes).c_str(), direct * 1e3, delegated * 1e3, delegated / direct,
                (delegated - direct) * 1e3, in_memory * 1e3, in_memory / direct,
                (in_memory - direct) * 1e3);
  }
}

// The same requests through tavok with its decoders loaded per request
// (cold) and kept loaded (warm), against the decoder alone on the payload.
void WarmAndCold(const Options& options) {
  std::printf("\n## Per request, decoders kept loaded (warm) or not (cold), GetPicture\n\n");
  std::printf(
      "| payload | decoder alone | cold, memory | warm, memory | warm added | cold, file | "
      "warm, file |\n|---|---|---|---|---|---|---|\n");
  for (size_t bytes : {size_t{1} << 10, size_t{10} << 10, size_t{1} << 20}) {
    const std::string bmp = MakeBmp(bytes);
    const std::string cached = Wrap(bmp);
    const std::string cache = options.work + "\\warm.qcx";
    WriteFileBytes(cache, cached);
    const auto time = [&](GetPictureFn get_picture, const char* buffer, LONG_PTR length,
                          uint32_t flag) {
      return Median(RunsFor(bytes) * 2, [&] {
        unique_hlocal info, bits;
        get_picture(buffer, length, flag, info.put(), bits.put(), nullptr, 0);
      });
    };
    const auto memory = static_cast<LONG_PTR>(cached.size());
    // One module at a time: a decoder mapped by anything else would make a
    // cold request find it loaded.
    double direct, cold_memory, cold_file, warm_memory, warm_file;
    {
      const unique_hmodule decoder(LoadLibraryA(options.decoder.c_str()));
      direct = time(FindExport<GetPictureFn>(decoder.get(), "GetPicture"), bmp.data(),
                    static_cast<LONG_PTR>(bmp.size()), tavok::kMemoryInput);
    }
    {
      const unique_hmodule cold = LoadTavokWith(options, "cold", options.decoder, false);
      const auto picture = FindExport<GetPictureFn>(cold.get(), "GetPicture");
      cold_memory = time(picture, cached.data(), memory, tavok::kMemoryInput);
      cold_file = time(picture, cache.c_str(), 0, tavok::kFileInput);
    }
    {
      const unique_hmodule warm = LoadTavokWith(options, "warm", options.decoder, true);
      const auto picture = FindExport<GetPictureFn>(warm.get(), "GetPicture");
      warm_memory = time(picture, cached.data(), memory, tavok::kMemoryInput);
      warm_file = time(picture, cache.c_str(), 0, tavok::kFileInput);
    }
    std::printf(
        "| %s | %.3f ms | %.3f ms (%.2fx) | %.3f ms (%.2fx) | %.3f ms (%+.1f %%) | %.3f ms | "
        "%.3f ms |\n",
        SizeLabel(bytes).c_str(), direct * 1e3, cold_memory * 1e3, cold_memory / direct,
        warm_memory * 1e3, warm_memory / direct, (warm_memory - direct) * 1e3,
        (warm_memory / direct - 1) * 100, cold_file * 1e3, warm_file * 1e3);
  }
}

struct ThreadWork {
  static constexpr int kRequests = 400;
  GetPictureFn get_picture;
  const std::string* cache;
};

DWORD WINAPI RunThreadWork(LPVOID parameter) {
  const ThreadWork& work = *static_cast<const ThreadWork*>(parameter);
  for (int i = 0; i < ThreadWork::kRequests; ++i) {
    unique_hlocal info, bits;
    work.get_picture(work.cache->c_str(), 0, 0, info.put(), bits.put(), nullptr, 0);
  }
  return 0;
}

// Requests per second of threads threads, thread t asking for caches[t].
double Rate(GetPictureFn get_picture, const std::vector<const std::string*>& caches) {
  std::vector<HANDLE> handles;
  std::vector<ThreadWork> work;
  for (const std::string* cache : caches) work.push_back({get_picture, cache});
  const double start = Now();
  for (ThreadWork& w : work) {
    handles.push_back(CreateThread(nullptr, 0, &RunThreadWork, &w, 0, nullptr));
  }
  WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), TRUE, INFINITE);
  const double elapsed = Now() - start;
  for (HANDLE handle : handles) CloseHandle(handle);
  return static_cast<double>(caches.size()) * ThreadWork::kRequests / elapsed;
}

// Requests per second from 1, 2 and 4 threads, decoders kept loaded, all on
// one cache file or each thread on its own.
void Threads(const Options& options) {
  std::printf("\n## Throughput, decoders kept loaded, GetPicture of a 10 KB BMP (file input)\n\n");
  std::printf("| threads | same file | scaling | a file per thread | scaling |\n");
  std::printf("|---|---|---|---|---|\n");
  const unique_hmodule warm = LoadTavokWith(options, "threads", options.decoder, true);
  auto get_picture = FindExport<GetPictureFn>(warm.get(), "GetPicture");
  std::vector<std::string> caches;
  for (int i = 0; i < 4; ++i) {
    caches.push_back(options.work + "\\thread" + std::to_string(i) + ".qcx");
    WriteFileBytes(caches.back(), Wrap(MakeBmp(10u << 10)));
  }
  const auto rate = [&](int threads, bool same) {
    std::vector<const std::string*> files;
    for (int t = 0; t < threads; ++t) files.push_back(&caches[same ? 0 : t]);
    return Rate(get_picture, files);
  };
  rate(1, true);  // warms the decoder and the file cache
  const double one_same = rate(1, true);
  const double one_own = rate(1, false);
  for (int threads : {1, 2, 4}) {
    const double same = rate(threads, true);
    const double own = rate(threads, false);
    std::printf("| %d | %.0f/s | %.2fx | %.0f/s | %.2fx |\n", threads, same, same / one_same, own,
                own / one_own);
  }
}

// Four threads asking through one decoder, one at a time in it (the default)
// or all at once (ParallelDecoders=1), and through two decoders, two threads
// each, against one thread; decoders kept loaded, each thread on a file of
// its own. The example decoder works on the CPU; the fixture decoders, with
// TAVOK_FIXTURE_DELAY, wait 5 ms in each picture, as a decoder waiting on
// anything but the CPU does.
void DecoderLock(const Options& options) {
  std::printf("\n## Four threads and the lock of each decoder, GetPicture (file input)\n\n");
  std::printf("| decoders | threads | ParallelDecoders | requests/s | against 1 thread |\n");
  std::printf("|---|---|---|---|---|\n");
  const auto row = [&](const char* label, const std::vector<std::string>& decoders,
                       const std::vector<std::string>& names, bool parallel, double* one) {
    const unique_hmodule tavok = LoadTavokListing(
        options, std::string("lock") + (parallel ? "p" : "s") + std::to_string(names.size()),
        decoders,
        std::string("KeepDecodersLoaded=1\r\nParallelDecoders=") + (parallel ? "1" : "0"));
    const auto get_picture = FindExport<GetPictureFn>(tavok.get(), "GetPicture");
    std::vector<std::string> caches;
    for (int t = 0; t < 4; ++t) {
      caches.push_back(options.work + "\\lock" + std::to_string(t) + ".qcx");
      const std::string& name = names[t % names.size()];
      WriteFileBytes(caches.back(),
                     Wrap(name == "picture.bmp" ? MakeBmp(10u << 10) : "bytes", name.c_str()));
    }
    const std::vector<const std::string*> alone = {&caches[0]};
    Rate(get_picture, alone);  // loads the decoders and warms the file cache
    if (*one == 0) {
      *one = Rate(get_picture, alone);
      std::printf("| %s | 1 | %d | %.0f/s | 1.00x |\n", label, parallel, *one);
    }
    const double four = Rate(get_picture, {&caches[0], &caches[1], &caches[2], &caches[3]});
    std::printf("| %s | 4 | %d | %.0f/s | %.2fx |\n", label, parallel, four, four / *one);
  };
  double one = 0;
  row("the example decoder (10 KB BMP)", {options.decoder}, {"picture.bmp"}, false, &one);
  row("the example decoder (10 KB BMP)", {options.decoder}, {"picture.bmp"}, true, &one);
  if (options.second_fixture.empty()) return;
  SetEnvironmentVariableA("TAVOK_FIXTURE_DELAY", "5");
  one = 0;
  row("one 5 ms decoder", {options.fixture}, {"a.png"}, false, &one);
  row("one 5 ms decoder", {options.fixture}, {"a.png"}, true, &one);
  row("two 5 ms decoders, 2 threads each", {options.fixture, options.second_fixture},
      {"a.png", "b.jpg"}, false, &one);
  SetEnvironmentVariableA("TAVOK_FIXTURE_DELAY", nullptr);
}

// A request that no decoder takes, with 1, 5 and 10 decoders listed that
// decline everything: with AskEveryDecoder off, none is asked; on, each is,
// loaded per request (cold) or kept loaded (warm).
void Fallback(const Options& options) {
  if (options.declining.empty()) return;
  std::printf("\n## Falling through to the placeholder, GetPicture, extensionless URL\n\n");
  std::printf("| decoders listed | fallback off | on, cold | on, warm |\n|---|---|---|---|\n");
  const std::string cache = options.work + "\\fallback.qcx";
  WriteFileBytes(cache, Wrap(std::string(4096, 'f'), "avatar-1234"));
  for (int count : {1, 5, 10}) {
    const auto time = [&](const char* name, const char* options_ini) {
      const std::string folder = options.work + "\\" + name + std::to_string(count);
      CreateDirectoryA(folder.c_str(), nullptr);
      std::string ini = "[SPI]\r\nCount=" + std::to_string(count) + "\r\n";
      for (int i = 0; i < count; ++i) {
        const std::string decoder = "d" + std::to_string(i) + ".spi";
        CopyFileA(options.declining.c_str(), (folder + "\\" + decoder).c_str(), FALSE);
        ini += "Path" + std::to_string(i) + "=" + decoder + "\r\n";
      }
      WriteFileBytes(folder + "\\tavok.ini", ini + "[Options]\r\n" + options_ini);
      const std::string path = folder + "\\" + tavok::kOwnFileName;
      CopyFileA(options.tavok.c_str(), path.c_str(), FALSE);
      const unique_hmodule tavok(LoadLibraryA(path.c_str()));
      const auto get_picture = FindExport<GetPictureFn>(tavok.get(), "GetPicture");
      return Median(51, [&] {
        unique_hlocal info, bits;
        get_picture(cache.c_str(), 0, 0, info.put(), bits.put(), nullptr, 0);
      });
    };
    const double off = time("fallback-off", "AskEveryDecoder=0\r\n");
    const double cold = time("fallback-cold", "AskEveryDecoder=1\r\n");
    const double warm = time("fallback-warm", "AskEveryDecoder=1\r\nKeepDecodersLoaded=1\r\n");
    std::printf("| %d | %.3f ms | %.3f ms | %.3f ms |\n", count, off * 1e3, cold * 1e3, warm * 1e3);
  }
}

// Every request loads the chosen decoder and releases it again.
void DecoderLoading(const Options& options) {
  const double load =
      Median(21, [&] { unique_hmodule decoder(LoadLibraryA(options.decoder.c_str())); });
  std::printf("\nLoading and releasing the decoder module once, as each request does: %.3f ms\n",
              load * 1e3);
}

void InputLoading(const Options& options) {
  std::printf("\n## Input loading (file input) against a plain ReadFile of the same bytes\n\n");
  std::printf("| bytes | ReadFile | LoadWholeInput | ratio | MB/s |\n|---|---|---|---|---|\n");
  for (size_t bytes = 1u << 10; bytes <= (options.max_mb << 20); bytes *= 8) {
    const std::string path = options.work + "\\loading.qcx";
    WriteFileBytes(path, Wrap(std::string(bytes, 'x')));
    const double plain = Median(RunsFor(bytes), [&] {
      const unique_file file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
      const DWORD size = GetFileSize(file.get(), nullptr);
      const unique_hlocal block(LocalAlloc(LMEM_FIXED, size + 2000));
      DWORD read = 0;
      ReadFile(file.get(), block.get(), size, &read, nullptr);
    });
    const double loaded = Median(RunsFor(bytes), [&] {
      tavok::PictureInput input;
      const uint8_t* data = nullptr;
      tavok::LoadWholeInput(path.c_str(), 0, 0, &input, &data);
      tavok::ReleasePictureInput(&input);
    });
    std::printf("| %s | %.3f ms | %.3f ms | %.2fx | %.0f |\n", SizeLabel(bytes).c_str(),
                plain * 1e3, loaded * 1e3, loaded / plain, bytes / loaded / 1e6);
  }
}

void Probing(const Options& options) {
  std::printf("\n## IsSupported on a 2 KB head\n\n");
  const unique_hmodule tavok(LoadLibraryA(options.tavok.c_str()));
  auto is_supported = FindExport<IsSupportedFn>(tavok.get(), "IsSupported");
  const std::string path = options.work + "\\probe.qcx";
  const std::string bytes = Wrap(std::string(4096, 'p'));
  WriteFileBytes(path, bytes);
  std::string head = bytes.substr(0, 2048);
  const unique_file file(
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  const ULONG_PTR handle = reinterpret_cast<ULONG_PTR>(file.get());
  constexpr int kCalls = 20000;
  auto per_second = [&](const std::function<void()>& call) {
    const double start = Now();
    for (int i = 0; i < kCalls; ++i) call();
    return kCalls / (Now() - start);
  };
  const double memory =
      per_second([&] { is_supported(path.c_str(), reinterpret_cast<ULONG_PTR>(head.data())); });
  const double through_handle = per_second([&] {
    SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN);
    is_supported(path.c_str(), handle);
  });
  char buffer[2000];
  const double plain_read = per_second([&] {
    SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN);
    DWORD read = 0;
    ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr);
  });
  std::printf("| input | calls per second | time per call against a 2000-byte ReadFile |\n");
  std::printf("|---|---|---|\n");
  std::printf("| head in memory | %.0f | |\n", memory);
  std::printf("| file handle | %.0f | %.2fx |\n", through_handle, plain_read / through_handle);
  std::printf("| plain ReadFile of 2000 bytes | %.0f | 1.00x |\n", plain_read);
}

void Placeholder() {
  std::printf("\n## Placeholder rendering\n\n| size | per picture |\n|---|---|\n");
  for (int side : {48, 256}) {
    tavok::SetPlaceholderSize(side, side);
    const double time = Median(201, [] {
      unique_hlocal info, bits;
      tavok::RenderPlaceholderPicture("picture.zip", info.put(), bits.put(), nullptr, 0);
    });
    std::printf("| %d x %d | %.3f ms |\n", side, side, time * 1e3);
  }
  tavok::SetPlaceholderSize(48, 48);
}

size_t PrivateBytes() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof(counters);
  K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
  return counters.PagefileUsage;
}

// The fixture decoder calls the progress callback as soon as it is asked for
// the picture: tavok then holds everything it holds for the request.
size_t g_private_in_decoder = 0;
int __stdcall RecordPrivateBytes(int, int, LONG_PTR) {
  g_private_in_decoder = PrivateBytes();
  return 0;
}

void MemoryAndGrowth(const Options& options) {
  std::printf("\n## Growth with the payload size, and peak private bytes of a request\n\n");
  std::printf("The fixture decoder accepts the payload without reading it and returns a\n");
  std::printf("tiny picture, so the figures are tavok's own. Private bytes are read when\n");
  std::printf("the decoder is called, against the figure before the request.\n\n");
  std::printf(
      "| payload | GetPicture through tavok | MB/s | private bytes added | file + 2000 |\n");
  std::printf("|---|---|---|---|---|\n");
  const unique_hmodule tavok = LoadTavokWith(options, "growth", options.fixture);
  auto through = FindExport<GetPictureFn>(tavok.get(), "GetPicture");
  for (size_t bytes = 1u << 10; bytes <= (options.max_mb << 20); bytes *= 4) {
    const std::string cache = options.work + "\\growth.qcx";
    const std::string file = Wrap(std::string(bytes, 'g'), "picture.png");
    WriteFileBytes(cache, file);
    const double time = Median(RunsFor(bytes), [&] {
      unique_hlocal info, bits;
      through(cache.c_str(), 0, 0, info.put(), bits.put(), nullptr, 0);
    });
    const size_t before = PrivateBytes();
    unique_hlocal info, bits;
    through(cache.c_str(), 0, 0, info.put(), bits.put(), &RecordPrivateBytes, 0);
    const long long added =
        static_cast<long long>(g_private_in_decoder) - static_cast<long long>(before);
    std::printf("| %s | %.3f ms | %.0f | %lld | %zu |\n", SizeLabel(bytes).c_str(), time * 1e3,
                bytes / time / 1e6, added, file.size() + 2000);
  }
}

// A large download that no decoder takes: the host gets the placeholder. The
// placeholder's progress callback runs while the request holds its input, so
// the private bytes it records are the request's peak.
void LargeFilePlaceholder(const Options& options) {
  std::printf("\n## Placeholder for a %zu MB cache file (file input, no decoder listed)\n\n",
              options.large_mb);
  const std::string path = options.work + "\\large.qcx";
  {
    const std::string head = Wrap("", "video.mp4");
    unique_file file(
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    WriteFile(file.get(), head.data(), static_cast<DWORD>(head.size()), &written, nullptr);
    const std::string chunk(1u << 20, 'v');
    for (size_t i = 0; i < options.large_mb; ++i) {
      WriteFile(file.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr);
    }
  }
  const unique_hmodule tavok = LoadTavokWith(options, "large", "none.spi");
  auto through = FindExport<GetPictureFn>(tavok.get(), "GetPicture");
  int32_t result = -1;
  const double time = Median(5, [&] {
    unique_hlocal info, bits;
    result = through(path.c_str(), 0, 0, info.put(), bits.put(), nullptr, 0);
  });
  const size_t before = PrivateBytes();
  unique_hlocal info, bits;
  through(path.c_str(), 0, 0, info.put(), bits.put(), &RecordPrivateBytes, 0);
  DeleteFileA(path.c_str());
  const long long added =
      static_cast<long long>(g_private_in_decoder) - static_cast<long long>(before);
  std::printf("| GetPicture | result | private bytes added during the request |\n|---|---|---|\n");
  std::printf("| %.3f ms | %d | %lld |\n", time * 1e3, result, added);
}

// One file as a viewer asks for it: IsSupported on the file's first 2 KB,
// read as the viewer reads it, then GetPicture by name.
void AskAsAViewer(IsSupportedFn is_supported, GetPictureFn get_picture, const std::string& path) {
  char head[2048] = {};
  {
    const unique_file file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
    DWORD read = 0;
    ReadFile(file.get(), head, sizeof(head), &read, nullptr);
  }
  if (is_supported(path.c_str(), reinterpret_cast<ULONG_PTR>(head)) == 0) return;
  unique_hlocal info, bits;
  get_picture(path.c_str(), 0, 0, info.put(), bits.put(), nullptr, 0);
}

struct Plugin {
  unique_hmodule module;
  IsSupportedFn is_supported = nullptr;
  GetPictureFn get_picture = nullptr;
  explicit Plugin(const std::string& path) : module(LoadLibraryA(path.c_str())) {
    is_supported = FindExport<IsSupportedFn>(module.get(), "IsSupported");
    get_picture = FindExport<GetPictureFn>(module.get(), "GetPicture");
  }
};

// A host replaying files through a plug-in; with no files, the plug-in is
// only loaded and released.
struct HostRun {
  std::string plugin;
  const std::vector<std::string>* files;
};

// Seconds each run takes for its files, the plug-ins loaded once (kept) or
// for each file. The runs take turns file by file, so that a change in the
// machine's pace (under Wine, mostly in its server's) falls on all alike.
std::vector<double> Paired(const std::vector<HostRun>& runs, bool keep, int rounds) {
  std::vector<std::unique_ptr<Plugin>> loaded;
  for (const HostRun& run : runs)
    loaded.push_back(keep ? std::make_unique<Plugin>(run.plugin) : nullptr);
  std::vector<double> totals(runs.size(), 0.0);
  const size_t count = runs[0].files->size();
  for (int round = 0; round < rounds; ++round) {
    for (size_t i = 0; i < count; ++i) {
      for (size_t r = 0; r < runs.size(); ++r) {
        const double start = Now();
        if (keep) {
          AskAsAViewer(loaded[r]->is_supported, loaded[r]->get_picture, (*runs[r].files)[i]);
        } else {
          const Plugin plugin(runs[r].plugin);
          if (!runs[r].files->empty()) {
            AskAsAViewer(plugin.is_supported, plugin.get_picture, (*runs[r].files)[i]);
          }
        }
        totals[r] += Now() - start;
      }
    }
  }
  for (double& total : totals) total /= rounds;
  return totals;
}

// Two ways viewers use plug-ins, over 1,000 cache files of 10 KB PNG
// downloads, against the same host over the 1,000 bare PNG files with the
// example decoder alone: (a) plug-ins kept loaded, the example decoder loaded
// as a plug-in of its own too, as the release's folder has it; (b) every
// plug-in loaded and freed for every file. Rounds alternate the three, and
// each figure is the median of its rounds.
// count 10 KB PNG files in folder, and a cache file of each under its name.
size_t MakePngDownloads(const std::string& folder, int count, std::vector<std::string>* pngs,
                        std::vector<std::string>* caches) {
  CreateDirectoryA(folder.c_str(), nullptr);
  size_t payload = 0;
  for (int i = 0; i < count; ++i) {
    // 58 x 58 pixels, stored uncompressed: 10 KB, each file its own picture.
    const std::vector<uint8_t> png = tavok::samples::EncodePng(58, 58, false, [i](int x, int y) {
      return tavok::samples::Bgra{static_cast<uint8_t>(x * 4 + i), static_cast<uint8_t>(y * 4),
                                  static_cast<uint8_t>(i >> 2), 255};
    });
    const std::string bytes(png.begin(), png.end());
    payload = bytes.size();
    char name[32];
    std::snprintf(name, sizeof(name), "p%04d.png", i);
    pngs->push_back(folder + "\\" + name);
    WriteFileBytes(pngs->back(), bytes);
    caches->push_back(pngs->back() + ".qcx");
    WriteFileBytes(caches->back(), Wrap(bytes, name));
  }
  return payload;
}

void Hosts(const Options& options) {
  constexpr int kFiles = 1000;
  std::vector<std::string> pngs, caches;
  const size_t payload = MakePngDownloads(options.work + "\\hosts", kFiles, &pngs, &caches);
  const std::string decoder = options.decoder;
  const auto tavok_in = [&](const char* name, bool keep_loaded) {
    const unique_hmodule tavok = LoadTavokWith(options, name, decoder, keep_loaded);
    return options.work + "\\" + name + "\\" + tavok::kOwnFileName;
  };
  const std::string tavok_default = tavok_in("hosts-default", false);
  const std::string tavok_kept = tavok_in("hosts-kept", true);

  std::printf("\n## As viewers use it: %d cache files of %zu-byte PNG downloads\n\n", kFiles,
              payload);
  std::printf(
      "| host | settings | decoder alone | through tavok | ratio |\n|---|---|---|---|---|\n");
  const std::vector<std::string> no_files;
  const std::vector<std::string> first(caches.begin(), caches.begin() + 100);
  {
    // Warms the file cache and the modules.
    const Plugin held(decoder);
    Paired({{decoder, &pngs}, {tavok_default, &caches}}, true, 1);
  }
  std::vector<double> a, b, held;
  {
    // (a): the host holds the example decoder as a plug-in of its own.
    const Plugin host_decoder(decoder);
    a = Paired({{decoder, &pngs}, {tavok_default, &caches}, {tavok_kept, &caches}}, true, 3);
    // (b) with the decoder held all the same, whose loads then cost nothing.
    held = Paired({{tavok_default, &caches}}, false, 1);
  }
  b = Paired({{decoder, &pngs},
              {tavok_default, &caches},
              {tavok_kept, &caches},
              {tavok_default, &no_files}},
             false, 1);
  const auto row = [&](const char* host, const char* settings, double alone, double through) {
    std::printf("| %s | %s | %.0f files/s | %.0f files/s | %.2fx |\n", host, settings,
                kFiles / alone, kFiles / through, through / alone);
  };
  row("(a) plug-ins kept loaded", "default", a[0], a[1]);
  row("(a) plug-ins kept loaded", "KeepDecodersLoaded=1", a[0], a[2]);
  row("(b) loaded and freed for every file", "default", b[0], b[1]);
  row("(b) loaded and freed for every file", "KeepDecodersLoaded=1", b[0], b[2]);
  const double per_file = b[1] / kFiles, tavok_load = b[3] / kFiles;
  std::printf(
      "\n(b), one file, default settings: %.2f ms through tavok against %.2f ms for the decoder "
      "alone, its own load and release included. Through tavok: tavok's own load and release "
      "%.2f ms; the decoder's load and release %.2f ms (the first request reads tavok.ini and "
      "registers the decoder, loading it to ask for its declarations, and keeps it loaded for "
      "the request), measured as what it adds against a host that holds the decoder; the rest, "
      "the request with tavok.ini read and the decoder's calls, %.2f ms (%.2f ms in (a)).\n",
      per_file * 1e3, b[0] / kFiles * 1e3, tavok_load * 1e3, (b[1] - held[0]) / kFiles * 1e3,
      (held[0] / kFiles - tavok_load) * 1e3, a[1] / kFiles * 1e3);
}

// A keep-loaded folder pass over a cache as browsers leave it: PNG pictures
// behind .jpg URLs, PNG pictures behind URLs without an extension, and
// downloads that are no picture at all, through the example decoder, with
// MatchContent at its default and at 0. Then what telling a format from a
// payload's head costs alone.
void Content(const Options& options) {
  constexpr int kPerKind = 200;
  const std::string folder = options.work + "\\content";
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::vector<uint8_t> png = tavok::samples::EncodePng(58, 58, false, [](int x, int y) {
    return tavok::samples::Bgra{static_cast<uint8_t>(x * 4), static_cast<uint8_t>(y * 4), 90, 255};
  });
  const std::string picture(png.begin(), png.end());
  const std::string page = "<!DOCTYPE html><html><head><script src=\"a.js\"></script>" +
                           std::string(8000, ' ') + "</html>";
  struct Kind {
    const char* label;
    const char* name;  // the download's name, %d for the file's number
    const std::string* payload;
    std::vector<std::string> caches;
  } kinds[] = {
      {"PNG behind a .jpg URL", "abc%d.jpg", &picture, {}},
      {"PNG behind a URL without an extension", "GabcXYZ%d", &picture, {}},
      {"no picture (pages, scripts, no extension)", "collect%d", &page, {}},
  };
  for (Kind& kind : kinds) {
    for (int i = 0; i < kPerKind; ++i) {
      char name[32];
      std::snprintf(name, sizeof(name), kind.name, i);
      kind.caches.push_back(folder + "\\" + name + ".qcx");
      WriteFileBytes(kind.caches.back(), Wrap(*kind.payload, name));
    }
  }
  const auto tavok_in = [&](const char* name, const char* options_ini) {
    const unique_hmodule tavok = LoadTavokListing(options, name, {options.decoder}, options_ini);
    return options.work + "\\" + name + "\\" + tavok::kOwnFileName;
  };
  const std::string by_content = tavok_in("content-default", "KeepDecodersLoaded=1\r\n");
  const std::string by_name = tavok_in("content-off", "KeepDecodersLoaded=1\r\nMatchContent=0\r\n");

  std::printf("\n## Choosing by the payload's bytes: %d cache files of each kind, kept loaded\n\n",
              kPerKind);
  std::printf(
      "| files | default (MatchContent=1) | MatchContent=0 | pictures shown "
      "|\n|---|---|---|---|\n");
  for (const Kind& kind : kinds) {
    // The first round warms the file cache and the modules.
    Paired({{by_content, &kind.caches}, {by_name, &kind.caches}}, true, 1);
    const std::vector<double> t =
        Paired({{by_content, &kind.caches}, {by_name, &kind.caches}}, true, 3);
    // What the viewer gets: the decoder's 58 x 58 picture or the 48 x 48 icon.
    const auto shown = [&](const std::string& plugin) {
      const Plugin held(plugin);
      unique_hlocal info, bits;
      held.get_picture(kind.caches[0].c_str(), 0, 0, info.put(), bits.put(), nullptr, 0);
      tavok::local_lock lock(info.get());
      const auto* header = lock.as<const BITMAPINFOHEADER>();
      return header != nullptr && header->biWidth == 58;
    };
    std::printf("| %s | %.3f ms | %.3f ms | default %s, MatchContent=0 %s |\n", kind.label,
                t[0] / kPerKind * 1e3, t[1] / kPerKind * 1e3, shown(by_content) ? "yes" : "no",
                shown(by_name) ? "yes" : "no");
  }
  const std::string* heads[] = {&picture, &page};
  const double detection = Median(21, [&] {
    for (int i = 0; i < 10000; ++i) {
      const std::string& head = *heads[i & 1];
      volatile const void* format =
          tavok::RecognizeImageFormat(reinterpret_cast<const uint8_t*>(head.data()), head.size());
      (void)format;
    }
  });
  std::printf(
      "\nTelling the format from a payload's head (a PNG's and a page's, in turn): "
      "%.1f ns a file.\n",
      detection / 10000 * 1e9);
}

// The host patterns that were missing from the figures above, with the
// release's stripped DLLs and its default settings (KeepDecodersLoaded=1):
// (a) a viewer that keeps tavok loaded while only tavok loads the decoders
// (kept in a folder of their own), and (b) a host that loads and frees
// tavok for every file, each with the decoder listed alone and after nine
// decoders that match and decline (fx_decline) or that never match
// (fx_jpeg). Against the same host over the bare files with the decoder
// alone, a module of its own, and for (b) against the floor: the decoder
// alone plus the load of a plug-in that does nothing, of tavok's size.
void Patterns(const Options& options) {
  if (options.release_tavok.empty() || options.release_decoder.empty() || options.floor.empty() ||
      options.declining.empty() || options.second_fixture.empty()) {
    return;
  }
  constexpr int kFiles = 500;
  std::vector<std::string> pngs, caches;
  MakePngDownloads(options.work + "\\patterns", kFiles, &pngs, &caches);
  const std::string decoder_name =
      options.release_decoder.substr(options.release_decoder.find_last_of('\\') + 1);
  const auto copy_into = [&](const std::string& folder, const std::string& from,
                             const std::string& name) {
    CreateDirectoryA(folder.c_str(), nullptr);
    CopyFileA(from.c_str(), (folder + "\\" + name).c_str(), FALSE);
    return folder + "\\" + name;
  };
  const std::string alone =
      copy_into(options.work + "\\patterns-alone", options.release_decoder, decoder_name);
  // A plug-in folder of its own: tavok, its own copy of the decoder, listed
  // after `others` copies of fixture.
  const auto tavok_with = [&](const char* name, const std::string& fixture, int others) {
    const std::string folder = options.work + "\\" + name;
    const std::string tavok = copy_into(folder, options.release_tavok, tavok::kOwnFileName);
    copy_into(folder, options.release_decoder, decoder_name);
    std::string ini = "[SPI]\r\nCount=" + std::to_string(others + 1) + "\r\n";
    for (int i = 0; i < others; ++i) {
      const std::string other = "o" + std::to_string(i) + ".spi";
      copy_into(folder, fixture, other);
      ini += "Path" + std::to_string(i) + "=" + other + "\r\n";
    }
    ini += "Path" + std::to_string(others) + "=" + decoder_name + "\r\n";
    WriteFileBytes(folder + "\\tavok.ini", ini + "[Options]\r\nKeepDecodersLoaded=1\r\n");
    return tavok;
  };
  const std::string one = tavok_with("patterns-one", options.declining, 0);
  const std::string declining = tavok_with("patterns-declining", options.declining, 9);
  const std::string unmatched = tavok_with("patterns-unmatched", options.second_fixture, 9);

  Paired({{alone, &pngs}, {one, &caches}, {declining, &caches}}, true, 1);  // warms the files
  const std::vector<double> a =
      Paired({{alone, &pngs}, {one, &caches}, {declining, &caches}}, true, 3);
  const std::vector<std::string> no_files;
  const std::vector<double> b = Paired({{alone, &pngs},
                                        {one, &caches},
                                        {declining, &caches},
                                        {unmatched, &caches},
                                        {options.floor, &no_files}},
                                       false, 1);
  const auto ms = [&](double total) { return total / kFiles * 1e3; };
  const double floor = b[0] + b[4];
  std::printf("\n## Host patterns, release DLLs and defaults: %d cache files of 10 KB PNG\n\n",
              kFiles);
  std::printf(
      "| host | decoders listed | decoder alone | floor | through tavok | against the decoder | "
      "against the floor |\n|---|---|---|---|---|---|---|\n");
  const auto row = [&](const char* host, const char* listed, double alone_total, double through,
                       double floor_total) {
    char floor_time[32] = "-", floor_ratio[32] = "-";
    if (floor_total > 0) {
      std::snprintf(floor_time, sizeof(floor_time), "%.2f ms", ms(floor_total));
      std::snprintf(floor_ratio, sizeof(floor_ratio), "%.2fx", through / floor_total);
    }
    std::printf("| %s | %s | %.2f ms | %s | %.2f ms | %.2fx | %s |\n", host, listed,
                ms(alone_total), floor_time, ms(through), through / alone_total, floor_ratio);
  };
  const char* kAlone = "the decoder";
  const char* kDeclining = "nine that match and decline, then the decoder";
  const char* kUnmatched = "nine that never match, then the decoder";
  row("(a) kept loaded, decoders only tavok loads", kAlone, a[0], a[1], 0);
  row("(a) kept loaded, decoders only tavok loads", kDeclining, a[0], a[2], 0);
  row("(b) loaded and freed for every file", kAlone, b[0], b[1], floor);
  row("(b) loaded and freed for every file", kDeclining, b[0], b[2], floor);
  row("(b) loaded and freed for every file", kUnmatched, b[0], b[3], floor);
  std::printf(
      "\nThe do-nothing plug-in's load and release: %.2f ms a file. A listed decoder that matches "
      "and declines costs each request in (a) %.3f ms, and each file in (b) %.2f ms; one that "
      "never matches costs each file in (b) %.2f ms, its registration at the first request.\n",
      ms(b[4]), ms(a[2] - a[1]) / 9, ms(b[2] - b[1]) / 9, ms(b[3] - b[1]) / 9);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--tavok") options.tavok = argv[i + 1];
    if (flag == "--decoder") options.decoder = argv[i + 1];
    if (flag == "--fixture") options.fixture = argv[i + 1];
    if (flag == "--declining") options.declining = argv[i + 1];
    if (flag == "--second-fixture") options.second_fixture = argv[i + 1];
    if (flag == "--work") options.work = argv[i + 1];
    if (flag == "--max-mb") options.max_mb = std::strtoul(argv[i + 1], nullptr, 10);
    if (flag == "--large-mb") options.large_mb = std::strtoul(argv[i + 1], nullptr, 10);
    if (flag == "--only") options.only = argv[i + 1];
    if (flag == "--release-tavok") options.release_tavok = argv[i + 1];
    if (flag == "--release-decoder") options.release_decoder = argv[i + 1];
    if (flag == "--floor") options.floor = argv[i + 1];
  }
  if (options.tavok.empty() || options.decoder.empty() || options.fixture.empty()) {
    std::fprintf(stderr,
                 "usage: bench --tavok TAVOK.spi --decoder DECODER.spi --fixture FIXTURE.spi "
                 "[--declining FIXTURE.spi] [--second-fixture FIXTURE.spi] [--work FOLDER] "
                 "[--max-mb N] [--large-mb N] "
                 "[--only SECTION]\n");
    return 64;
  }
  CreateDirectoryA(options.work.c_str(), nullptr);
  std::printf("# tavok benchmarks\n");
  const std::pair<const char*, std::function<void()>> sections[] = {
      {"delegation", [&] { DelegationOverhead(options); }},
      {"warm", [&] { WarmAndCold(options); }},
      {"threads", [&] { Threads(options); }},
      {"lock", [&] { DecoderLock(options); }},
      {"fallback", [&] { Fallback(options); }},
      {"loading", [&] { DecoderLoading(options); }},
      {"input", [&] { InputLoading(options); }},
      {"probing", [&] { Probing(options); }},
      {"placeholder", [] { Placeholder(); }},
      {"growth", [&] { MemoryAndGrowth(options); }},
      {"large", [&] { LargeFilePlaceholder(options); }},
      {"hosts", [&] { Hosts(options); }},
      {"content", [&] { Content(options); }},
      {"patterns", [&] { Patterns(options); }},
  };
  for (const auto& [name, run] : sections) {
    if (options.only.empty() || options.only == name) run();
  }
  return 0;
}
