// spi-render: a console host for Susie import plug-ins. It loads the plug-in
// named on its command line, shows what the plug-in answers for a file, and
// writes the picture the plug-in delivers as a .bmp file.
#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include "bmp_writer.h"
#include "exit_codes.h"
#include "host/handles.h"
#include "host/picture_input.h"
#include "host/susie.h"
#include "progress_bar.h"

namespace tavok::render {
namespace {

const char kUsage[] = "usage: spi-render [--memory] [--ansi] [--out FILE.bmp] PLUGIN.spi [FILE]\n";

const char kHelp[] =
    "Loads a Susie import plug-in (\"00IN\") and shows what it answers:\n"
    "its information strings, and for FILE IsSupported (with a 2 KB head and\n"
    "with a file handle), GetPictureInfo and GetPicture. The picture is written\n"
    "as a .bmp file: FILE with .bmp appended, unless --out names another.\n"
    "While GetPicture takes longer than 0.3 s, a progress bar runs on standard\n"
    "error.\n"
    "A plug-in that has the Unicode entry points (IsSupportedW, GetPictureInfoW,\n"
    "GetPictureW) is asked through them, with FILE's name in UTF-16, as viewers\n"
    "do.\n"
    "\n"
    "  --memory        pass FILE to the picture entry points in memory (flag 1)\n"
    "                  instead of by name (flag 0, offset 0)\n"
    "  --ansi          use the ANSI entry points even when the plug-in has the\n"
    "                  Unicode ones\n"
    "  --out FILE.bmp  where to write the picture\n"
    "  --help          this text\n"
    "\n"
    "Exit codes:\n"
    "   0  success\n"
    "  64  usage error\n"
    "  65  the plug-in cannot be loaded\n"
    "  66  the plug-in lacks an entry point (the message names it)\n"
    "  67  FILE cannot be opened or read\n"
    "  68  IsSupported declines FILE\n"
    "  69  the .bmp file cannot be written\n"
    "  70  GetPicture succeeded but returned unusable blocks\n"
    "  GetPictureInfo or GetPicture failed: 80 + its result code\n"
    "  79  -1 function not provided\n"
    "  81   1 aborted through the progress callback\n"
    "  82   2 not a supported file\n"
    "  84   4 out of memory\n"
    "  86   6 the file failed to open or to read\n"
    "  88   8 the chosen decoder lacks the entry point needed\n"
    "  89  any other result code\n";

// The progress bar appears only for pictures that take longer than this.
constexpr DWORD kProgressDelayMs = 300;

// The command line comes in UTF-16, so that a file name the ANSI code page
// cannot spell reaches the Unicode entry points whole.
struct Options {
  bool help = false;
  bool memory = false;
  bool ansi = false;
  const wchar_t* out = nullptr;
  const wchar_t* plugin = nullptr;
  const wchar_t* file = nullptr;
};

bool ParseOptions(int argc, wchar_t** argv, Options* options) {
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    const wchar_t* arg = argv[i];
    if (std::wcscmp(arg, L"--help") == 0) {
      options->help = true;
    } else if (std::wcscmp(arg, L"--memory") == 0) {
      options->memory = true;
    } else if (std::wcscmp(arg, L"--ansi") == 0) {
      options->ansi = true;
    } else if (std::wcscmp(arg, L"--out") == 0 && i + 1 < argc) {
      options->out = argv[++i];
    } else if (arg[0] == '-' && arg[1] == '-') {
      return false;
    } else if (positional == 0) {
      options->plugin = arg;
      ++positional;
    } else if (positional == 1) {
      options->file = arg;
      ++positional;
    } else {
      return false;
    }
  }
  return options->help || options->plugin != nullptr;
}

// A name in the ANSI code page, for messages and for the ANSI entry points.
struct AnsiName {
  explicit AnsiName(const wchar_t* wide) {
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof(text), nullptr, nullptr);
  }
  char text[MAX_PATH * 2] = {};
};

// The entry points a request goes through: the Unicode ones when the plug-in
// has them and they are not refused, else the ANSI ones.
struct EntryPoints {
  bool wide = false;
  IsSupportedFn is_supported = nullptr;
  IsSupportedWFn is_supported_w = nullptr;
  GetPictureInfoFn get_picture_info = nullptr;
  GetPictureInfoWFn get_picture_info_w = nullptr;
  GetPictureFn get_picture = nullptr;
  GetPictureWFn get_picture_w = nullptr;
};

// The input of the picture entry points, as a host passes it.
struct Source {
  const char* buffer = nullptr;        // memory input, or the ANSI name
  const wchar_t* wide_name = nullptr;  // the UTF-16 name for the W entry points
  LONG_PTR length = 0;
  uint32_t flag = kFileInput;
  PictureInput loaded;  // the file's bytes, for memory input
  const char* kind() const { return flag == kFileInput ? "file input" : "memory input"; }
};

int LoadSource(const Options& options, const AnsiName& file, Source* source) {
  if (!options.memory) {
    source->buffer = file.text;
    source->wide_name = options.file;
    return kExitOk;
  }
  PictureInput& input = source->loaded;
  ResultCode result = LoadPictureInputW(options.file, 0, kFileInput, &input);
  const uint8_t* data = nullptr;
  if (result == kSuccess) result = LoadWholePayload(&input, 0, &data);
  if (result != kSuccess) {
    std::fprintf(stderr, "spi-render: cannot read %s into memory: %s\n", file.text,
                 DescribeResult(result));
    return kExitCannotOpen;
  }
  source->buffer = reinterpret_cast<const char*>(data);
  source->length = source->loaded.size;
  source->flag = kMemoryInput;
  return kExitOk;
}

template <typename Fn>
bool Require(HMODULE module, const char* plugin, const char* name, Fn* fn) {
  *fn = FindExport<Fn>(module, name);
  if (*fn == nullptr)
    std::fprintf(stderr, "spi-render: %s lacks the entry point %s\n", plugin, name);
  return *fn != nullptr;
}

int Failed(const char* entry_point, int32_t result) {
  std::fprintf(stderr, "spi-render: %s returned %d: %s\n", entry_point, result,
               DescribeResult(result));
  return ExitForResult(result);
}

void PrintPluginInfo(const char* plugin, GetPluginInfoFn get_plugin_info) {
  std::printf("GetPluginInfo(%s):\n", plugin);
  for (int32_t number = 0;; ++number) {
    char text[512];
    const int32_t n = get_plugin_info(number, text, sizeof(text) - 1);
    if (n <= 0) break;
    text[n < static_cast<int32_t>(sizeof(text)) ? n : sizeof(text) - 1] = '\0';
    std::printf("  info %d: %s\n", number, text);
  }
}

// Asks IsSupported as hosts do: with the file's first bytes in memory (a
// 2 KB head, zero-filled past the end of short files), then with an open
// handle positioned at the file's start.
int ProbeFile(const EntryPoints& entry, const wchar_t* wide_path, const char* path) {
  unique_file file(
      CreateFileW(wide_path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) {
    std::fprintf(stderr, "spi-render: cannot open %s (error %lu)\n", path, GetLastError());
    return kExitCannotOpen;
  }
  static char head[2048];
  DWORD read = 0;
  if (!ReadFile(file.get(), head, sizeof(head), &read, nullptr)) {
    std::fprintf(stderr, "spi-render: cannot read %s (error %lu)\n", path, GetLastError());
    return kExitCannotOpen;
  }
  const auto ask = [&](ULONG_PTR source) {
    return entry.wide ? entry.is_supported_w(wide_path, source) : entry.is_supported(path, source);
  };
  const int32_t by_memory = ask(reinterpret_cast<ULONG_PTR>(head));
  SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN);
  const int32_t by_handle = ask(reinterpret_cast<ULONG_PTR>(file.get()));
  std::printf("IsSupported(%s): head in memory %d, file handle %d\n", path, by_memory, by_handle);
  if (!by_memory && !by_handle) {
    std::fprintf(stderr, "spi-render: the plug-in does not support %s\n", path);
    return kExitNotSupported;
  }
  if (!by_memory || !by_handle) {
    std::fprintf(stderr, "spi-render: warning: the two ways of asking disagree\n");
  }
  return kExitOk;
}

int ShowPictureInfo(const EntryPoints& entry, const Source& source) {
  PictureInfo info = {};
  const int32_t result =
      entry.wide && source.wide_name != nullptr
          ? entry.get_picture_info_w(source.wide_name, source.length, source.flag, &info)
      : entry.wide ? entry.get_picture_info_w(reinterpret_cast<const wchar_t*>(source.buffer),
                                              source.length, source.flag, &info)
                   : entry.get_picture_info(source.buffer, source.length, source.flag, &info);
  unique_hlocal text(info.text);  // the caller frees it, whatever the result
  if (result != kSuccess) return Failed("GetPictureInfo", result);

  std::printf("GetPictureInfo (%s):\n", source.kind());
  std::printf("  left %d, top %d, width %d, height %d\n", info.left, info.top, info.width,
              info.height);
  std::printf("  x density %u, y density %u, colour depth %d\n", info.x_density, info.y_density,
              info.colour_depth);
  local_lock lock(text.get());
  if (lock) {
    const size_t size = LocalSize(text.get());
    std::printf("  text: %.*s\n", static_cast<int>(strnlen(lock.as<char>(), size)),
                lock.as<char>());
  } else {
    std::printf("  text: (none)\n");
  }
  return kExitOk;
}

int SavePicture(HLOCAL info, HLOCAL pixels, const std::wstring& out) {
  local_lock info_lock(info);
  local_lock pixel_lock(pixels);
  BmpLayout layout;
  if (!info_lock || !pixel_lock ||
      !PlanBmp(info_lock.get(), LocalSize(info), LocalSize(pixels), &layout)) {
    std::fprintf(stderr, "spi-render: GetPicture returned unusable blocks\n");
    return kExitBadBlocks;
  }
  const BITMAPINFOHEADER* header = info_lock.as<BITMAPINFOHEADER>();
  std::printf("  %ld x %ld, %u bits per pixel, %s, %u bytes of pixels\n", header->biWidth,
              header->biHeight < 0 ? -header->biHeight : header->biHeight, header->biBitCount,
              header->biHeight < 0 ? "top-down" : "bottom-up", layout.pixel_size);
  const AnsiName name(out.c_str());
  if (!WriteBmp(out.c_str(), info_lock.get(), pixel_lock.get(), layout)) {
    std::fprintf(stderr, "spi-render: cannot write %s (error %lu)\n", name.text, GetLastError());
    return kExitCannotWrite;
  }
  std::printf("wrote %s\n", name.text);
  return kExitOk;
}

int RenderPicture(const EntryPoints& entry, const Source& source, const std::wstring& out) {
  HLOCAL info = nullptr;
  HLOCAL pixels = nullptr;
  ProgressBar bar(stderr, GetTickCount(), kProgressDelayMs);
  const wchar_t* wide_buffer = source.wide_name != nullptr
                                   ? source.wide_name
                                   : reinterpret_cast<const wchar_t*>(source.buffer);
  const int32_t result =
      entry.wide ? entry.get_picture_w(wide_buffer, source.length, source.flag, &info, &pixels,
                                       ProgressBar::callback(), bar.user_value())
                 : entry.get_picture(source.buffer, source.length, source.flag, &info, &pixels,
                                     ProgressBar::callback(), bar.user_value());
  bar.Finish();
  unique_hlocal info_block(info);
  unique_hlocal pixel_block(pixels);
  if (result != kSuccess) return Failed("GetPicture", result);
  std::printf("GetPicture (%s):\n", source.kind());
  return SavePicture(info, pixels, out);
}

int Run(const Options& options) {
  const AnsiName plugin(options.plugin);
  unique_hmodule module(LoadLibraryW(options.plugin));
  if (!module) {
    std::fprintf(stderr, "spi-render: cannot load plug-in %s (error %lu)\n", plugin.text,
                 GetLastError());
    return kExitCannotLoad;
  }
  GetPluginInfoFn get_plugin_info;
  EntryPoints entry;
  if (!Require(module.get(), plugin.text, "GetPluginInfo", &get_plugin_info) ||
      !Require(module.get(), plugin.text, "IsSupported", &entry.is_supported)) {
    return kExitMissingExport;
  }
  PrintPluginInfo(plugin.text, get_plugin_info);
  if (options.file == nullptr) return kExitOk;

  entry.is_supported_w = FindExport<IsSupportedWFn>(module.get(), "IsSupportedW");
  entry.get_picture_info_w = FindExport<GetPictureInfoWFn>(module.get(), "GetPictureInfoW");
  entry.get_picture_w = FindExport<GetPictureWFn>(module.get(), "GetPictureW");
  entry.wide = !options.ansi && entry.is_supported_w != nullptr &&
               entry.get_picture_info_w != nullptr && entry.get_picture_w != nullptr;
  std::printf("entry points: %s\n", entry.wide ? "Unicode (W)" : "ANSI");

  const AnsiName file(options.file);
  int exit = ProbeFile(entry, options.file, file.text);
  if (exit != kExitOk) return exit;

  if (!entry.wide &&
      (!Require(module.get(), plugin.text, "GetPictureInfo", &entry.get_picture_info) ||
       !Require(module.get(), plugin.text, "GetPicture", &entry.get_picture))) {
    return kExitMissingExport;
  }
  Source source;
  exit = LoadSource(options, file, &source);
  if (exit == kExitOk) exit = ShowPictureInfo(entry, source);
  if (exit != kExitOk) return exit;
  const std::wstring out = options.out ? options.out : std::wstring(options.file) + L".bmp";
  return RenderPicture(entry, source, out);
}

}  // namespace
}  // namespace tavok::render

int main() {
  using namespace tavok::render;
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  Options options;
  if (argv == nullptr || !ParseOptions(argc, argv, &options)) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  if (options.help) {
    std::fputs(kUsage, stdout);
    std::fputs(kHelp, stdout);
    return kExitOk;
  }
  const int exit = Run(options);
  LocalFree(argv);
  return exit;
}
