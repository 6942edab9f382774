// Picture requests through the built tavok.spi, with fixture decoders listed
// in its tavok.ini: which decoder answers, what text the host gets, which
// result codes come back, and that nothing stays loaded or allocated.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "plugin_host.h"
#include "plugin_module.h"
#include "pure/container_builder.h"
#include "support/fixture_log.h"
#include "support/guarded_block.h"
#include "support/plugin_folder.h"
#include "support/test_files.h"

namespace tavok::testing {
namespace {

using Lines = std::vector<std::string>;
constexpr char kUrl[] = "http://example.com/img/pic.png?size=2";

class PictureRequests : public ::testing::Test {
 protected:
  // Lists the fixtures in tavok.ini (copied in as <fixture>.spi) and loads tavok.
  void Load(const Lines& fixtures, const std::string& extra_ini = "") {
    host_.reset();  // a loaded tavok.spi cannot be copied over
    host_ = std::make_unique<PluginHost>(folder_, fixtures, extra_ini);
    get_picture_info_ = host_->get_picture_info();
    get_picture_ = host_->get_picture();
    log_.Clear();
  }

  std::string WriteCache(const std::string& name, const std::string& header,
                         const std::string& payload) {
    const auto bytes = MakeContainer(header, payload);
    return folder_.Write(name, bytes);
  }

  // GetPictureInfo on file input; the text block is freed and returned.
  int32_t Info(const std::string& path, HostPictureInfo* info, std::string* text) {
    std::memset(info, 0x5A, sizeof(*info));
    const int32_t result = get_picture_info_(path.c_str(), 0, 0, info);
    *text = result == 0 ? TextOf(info->text) : "";
    if (result == 0 && info->text != nullptr) LocalFree(info->text);
    return result;
  }

  // What GetPicture handed over, copied out of its blocks, which are freed.
  struct Delivered {
    int32_t result = -1;
    bool has_info = false;
    BITMAPINFOHEADER header = {};
    size_t bits_size = 0;
    int first_bit_byte = -1;
  };

  Delivered Picture(const char* buffer, LONG_PTR length, uint32_t flag,
                    ProgressFn progress = nullptr, LONG_PTR user = 0) {
    HLOCAL info = nullptr;
    HLOCAL bits = nullptr;
    Delivered delivered;
    delivered.result = get_picture_(buffer, length, flag, &info, &bits, progress, user);
    if (info != nullptr) {
      delivered.has_info = true;
      std::memcpy(&delivered.header, LocalLock(info), sizeof(delivered.header));
      LocalUnlock(info);
      LocalFree(info);
    }
    if (bits != nullptr) {
      delivered.bits_size = LocalSize(bits);
      delivered.first_bit_byte = static_cast<const uint8_t*>(LocalLock(bits))[0];
      LocalUnlock(bits);
      LocalFree(bits);
    }
    return delivered;
  }
  Delivered Picture(const std::string& path, ProgressFn progress = nullptr, LONG_PTR user = 0) {
    return Picture(path.c_str(), 0, 0, progress, user);
  }

  PluginFolder folder_;
  FixtureLog log_;
  std::unique_ptr<PluginHost> host_;
  std::unique_ptr<PluginModule> plugin_;
  GetPictureInfoFn get_picture_info_ = nullptr;
  GetPictureFn get_picture_ = nullptr;
};

TEST_F(PictureRequests, TextInformationPutsTheUrlInFront) {
  Load({"fx_raw_text", "fx_png", "fx_png_second"});
  struct Case {
    const char* label;
    std::string header;
    std::string expected;
  } cases[] = {
      {"decoder text", HeaderFor(kUrl), std::string(kUrl) + "\r\nfixture text"},
      {"decoder without text", HeaderFor("http://h/a.gif"), "http://h/a.gif"},
      {"unterminated decoder text", HeaderFor("http://h/x.raw"), "http://h/x.raw\r\nno terminator"},
      {"placeholder with url", HeaderFor("http://h/archive.zip"), "http://h/archive.zip"},
      {"url without a slash", "URL=pic.png\r\nA=1\r\n", "pic.png"},
      {"placeholder without url", "VERSION=1\r\nSTATUS=200\r\n", "(null)"},
      {"empty url", "A=1\r\nURL=\r\nB=2\r\n", "(null)"},
  };
  for (const Case& c : cases) {
    const std::string path = WriteCache("t.qcx", c.header, "payload bytes");
    HostPictureInfo info;
    std::string text;
    ASSERT_EQ(Info(path, &info, &text), 0) << c.label;
    EXPECT_EQ(text, c.expected) << c.label;
  }
}

TEST_F(PictureRequests, DescriptionComesFromTheDecoderOrThePlaceholder) {
  Load({"fx_png"}, "[Icon]\r\nWidth=20\r\nHeight=10\r\n");
  HostPictureInfo info;
  std::string text;
  ASSERT_EQ(Info(WriteCache("a.qcx", HeaderFor(kUrl), "png bytes"), &info, &text), 0);
  EXPECT_EQ(info.width, 4);
  EXPECT_EQ(info.height, 3);
  EXPECT_EQ(info.x_density, 72);
  EXPECT_EQ(log_.Events({"GetPictureInfo"}), Lines{"fx_png GetPictureInfo 9 1 70"})
      << "memory input: the payload and its size, flag 1";

  ASSERT_EQ(Info(WriteCache("b.qcx", HeaderFor("http://h/b.bmp"), "bmp"), &info, &text), 0);
  EXPECT_EQ(info.left, 0);
  EXPECT_EQ(info.top, 0);
  EXPECT_EQ(info.width, 20);
  EXPECT_EQ(info.height, 10);
  EXPECT_EQ(info.x_density, 0);
  EXPECT_EQ(info.y_density, 0);
  EXPECT_EQ(info.colour_depth, 24);

  // The picture has the size that the description gives.
  const Delivered picture = Picture(WriteCache("b.qcx", HeaderFor("http://h/b.bmp"), "bmp"));
  ASSERT_EQ(picture.result, 0);
  EXPECT_EQ(picture.header.biWidth, 20);
  EXPECT_EQ(picture.header.biHeight, 10);
  EXPECT_EQ(picture.bits_size, 10u * 60);  // rows of 60 bytes, already a multiple of 4
}

// With [Options] AskEveryDecoder=1, a payload that no decoder whose patterns
// match takes is offered to every other decoder in table order, each asked
// once, and both requests make the same choice. The fixtures accept any
// payload except fx_decline, which declares *.png and *.jpg.
TEST_F(PictureRequests, TheFallbackAsksEveryOtherDecoderOnceInTableOrder) {
  struct Case {
    const char* label;
    Lines decoders;
    const char* url;
    bool ask_every;
    Lines asked;         // by one request, in order
    std::string served;  // empty: the placeholder
  } cases[] = {
      {"extensionless name",
       {"fx_decline", "fx_png"},
       "http://h/img/rgb",
       true,
       {"fx_decline", "fx_png"},
       "fx_png"},
      {"folder URL",
       {"fx_decline", "fx_png"},
       "http://h/img/",
       true,
       {"fx_decline", "fx_png"},
       "fx_png"},
      {"mislabelled extension",
       {"fx_decline", "fx_png"},
       "http://h/img/photo.jpg",
       true,
       {"fx_decline", "fx_png"},
       "fx_png"},
      {"the second pass keeps table order",
       {"fx_decline", "fx_jpeg", "fx_png"},
       "http://h/avatar/1234",
       true,
       {"fx_decline", "fx_jpeg"},
       "fx_jpeg"},
      {"no decoder takes it", {"fx_decline"}, "http://h/thumb?id=9", true, {"fx_decline"}, ""},
      {"off: extensionless", {"fx_decline", "fx_png"}, "http://h/img/rgb", false, {}, ""},
      {"off: mislabelled",
       {"fx_decline", "fx_png"},
       "http://h/img/photo.jpg",
       false,
       {"fx_decline"},
       ""},
  };
  const auto names = [](const Lines& lines) {
    Lines first_words;
    for (const std::string& line : lines) first_words.push_back(line.substr(0, line.find(' ')));
    return first_words;
  };
  for (const Case& c : cases) {
    Load(c.decoders, c.ask_every ? "[Options]\r\nAskEveryDecoder=1\r\n" : "");
    const std::string path = WriteCache("f.qcx", HeaderFor(c.url), "\x89PNG payload");
    HostPictureInfo info;
    std::string text;
    ASSERT_EQ(Info(path, &info, &text), 0) << c.label;
    const Delivered picture = Picture(path);
    ASSERT_EQ(picture.result, 0) << c.label;
    Lines asked_twice = c.asked;
    asked_twice.insert(asked_twice.end(), c.asked.begin(), c.asked.end());
    EXPECT_EQ(names(log_.Events({"IsSupported"})), asked_twice) << c.label;
    const Lines served = c.served.empty() ? Lines{} : Lines{c.served, c.served};
    EXPECT_EQ(names(log_.Events({"GetPictureInfo", "GetPicture "})), served) << c.label;
    EXPECT_EQ(info.width, c.served.empty() ? 48 : 4) << c.label;
    EXPECT_EQ(picture.header.biWidth, info.width) << c.label;
  }
}

// A payload whose name lies about it, or has no extension, is offered to the
// decoders not yet asked whose patterns match the format its bytes show,
// under its name with that format's extension. fx_decline declares *.png and
// *.jpg and declines; every other fixture accepts.
TEST_F(PictureRequests, ThePayloadsBytesChooseWhenTheNameCannot) {
  const std::string png("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16);
  const std::string jpeg("\xFF\xD8\xFF\xE0\0\x10JFIF", 10);
  struct Case {
    const char* label;
    Lines decoders;
    const char* url;
    std::string payload;
    const char* options;
    Lines asked;         // decoder and the name it was handed, by one request
    std::string served;  // empty: the placeholder
  } cases[] = {
      {"a .jpg URL answered with PNG bytes",
       {"fx_decline", "fx_png"},
       "https://cdn.h/abc123.jpg?width=640&auto=webp",
       png,
       "",
       {"fx_decline abc123.jpg", "fx_png abc123.png"},
       "fx_png"},
      {"no extension",
       {"fx_jpeg", "fx_png"},
       "https://pbs.h/media/GabcXYZ?format=jpg",
       png,
       "",
       {"fx_png GabcXYZ.png"},
       "fx_png"},
      {"a folder URL", {"fx_png"}, "http://h/img/", png, "", {"fx_png .png"}, "fx_png"},
      {"no signature loads nothing",
       {"fx_decline", "fx_png"},
       "http://h/collect?v=1",
       "function f() {}",
       "",
       {},
       ""},
      {"matching name and content, asked once",
       {"fx_decline", "fx_jpeg"},
       "http://h/photo.png",
       jpeg,
       "",
       {"fx_decline photo.png", "fx_jpeg photo.jpg"},
       "fx_jpeg"},
      {"a right name costs what it did",
       {"fx_decline", "fx_png", "fx_jpeg"},
       "http://h/a.png",
       png,
       "",
       {"fx_decline a.png", "fx_png a.png"},
       "fx_png"},
      {"MatchContent=0: by name alone",
       {"fx_decline", "fx_png"},
       "http://h/abc123.jpg",
       png,
       "MatchContent=0\r\n",
       {"fx_decline abc123.jpg"},
       ""},
      {"MatchContent=0: no extension",
       {"fx_png"},
       "http://h/media/GabcXYZ",
       png,
       "MatchContent=0\r\n",
       {},
       ""},
      {"AskEveryDecoder=1 after the content",
       {"fx_jpeg", "fx_decline"},
       "http://h/clip",
       png,
       "AskEveryDecoder=1\r\n",
       {"fx_decline clip.png", "fx_jpeg clip"},
       "fx_jpeg"},
  };
  const auto asked = [](const Lines& lines) {
    Lines decoder_and_name;
    for (const std::string& line : lines) {
      const size_t name = line.find(' ', line.find("IsSupported")) + 1;
      decoder_and_name.push_back(line.substr(0, line.find(' ')) + " " +
                                 line.substr(name, line.find(' ', name) - name));
    }
    return decoder_and_name;
  };
  for (const Case& c : cases) {
    Load(c.decoders, std::string("[Options]\r\n") + c.options);
    const std::string path = WriteCache("f.qcx", HeaderFor(c.url), c.payload);
    HostPictureInfo info;
    std::string text;
    ASSERT_EQ(Info(path, &info, &text), 0) << c.label;
    EXPECT_EQ(asked(log_.Events({"IsSupported"})), c.asked) << c.label;
    EXPECT_EQ(text.substr(0, std::strlen(c.url)), c.url) << c.label;
    log_.Clear();
    // Memory input chooses as file input does.
    const std::vector<uint8_t> bytes = ReadBytes(path);
    const Delivered picture = Picture(reinterpret_cast<const char*>(bytes.data()), bytes.size(), 1);
    ASSERT_EQ(picture.result, 0) << c.label;
    EXPECT_EQ(asked(log_.Events({"IsSupported"})), c.asked) << c.label;
    const Lines served = c.served.empty() ? Lines{} : Lines{c.served};
    const Lines delivered = log_.Events({"GetPicture "});
    EXPECT_EQ(delivered.size(), served.size()) << c.label;
    if (!served.empty() && !delivered.empty()) {
      EXPECT_EQ(delivered[0].substr(0, c.served.size()), c.served) << c.label;
    }
    EXPECT_EQ(info.width, c.served.empty() ? 48 : 4) << c.label;
    EXPECT_EQ(picture.header.biWidth, info.width) << c.label;
  }
}

TEST_F(PictureRequests, UnusableDecodersAndNamesGiveThePlaceholderWithoutLoading) {
  Load({"fx_png", "fx_jpeg"});
  struct Case {
    const char* label;
    std::string header;
    std::string payload;
  } cases[] = {
      {"unknown extension", HeaderFor("http://h/a.zip"), "zip"},
      {"no dot", HeaderFor("http://h/download"), "data"},
      {"empty payload", HeaderFor("http://h/a.png"), ""},
  };
  for (const Case& c : cases) {
    const Delivered picture = Picture(WriteCache("p.qcx", c.header, c.payload));
    ASSERT_EQ(picture.result, 0) << c.label;
    ASSERT_TRUE(picture.has_info);
    EXPECT_EQ(picture.header.biWidth, 48) << c.label;
    EXPECT_EQ(picture.header.biBitCount, 24) << c.label;
  }
  EXPECT_TRUE(log_.Lines().empty());
}

// A cached video of nearly 2 GiB cannot be loaded whole into a 32-bit
// process; its icon needs only the head.
TEST_F(PictureRequests, ALargeDownloadNoDecoderTakesGetsItsIconFromTheHead) {
  Load({"fx_png"});
  const std::string path = WriteCache("video.qcx", HeaderFor("http://h/clip.mp4"), "");
  ExtendFile(path, 1900LL << 20);

  HostPictureInfo info;
  std::string text;
  ASSERT_EQ(Info(path, &info, &text), 0);
  EXPECT_EQ(info.width, 48);
  const Delivered picture = Picture(path);
  ASSERT_EQ(picture.result, 0);
  EXPECT_EQ(picture.header.biWidth, 48);
  DeleteFileA(path.c_str());
}

TEST_F(PictureRequests, TheDecodersResultCodeIsPassedThrough) {
  Load({"fx_png", "fx_no_picture"});
  const std::string png = WriteCache("a.qcx", HeaderFor(kUrl), "png bytes");
  for (int code : {0, 1, 2, 4, 6, 8, -1, 99}) {
    SetEnvironmentVariableA("TAVOK_FIXTURE_RESULT", std::to_string(code).c_str());
    const Delivered picture = Picture(png);
    EXPECT_EQ(picture.result, code);
    if (code == 0) {
      ASSERT_NE(picture.bits_size, 0u);
      EXPECT_EQ(picture.first_bit_byte, 0xA0);
    }
    // A host that pre-fills its record learns of a failed description from
    // the code, and gets no text block with it.
    HostPictureInfo info;
    std::memset(&info, 0xCD, sizeof(info));
    EXPECT_EQ(get_picture_info_(png.c_str(), 0, 0, &info), code);
    EXPECT_EQ(TextOf(info.text), code == 0 ? std::string(kUrl) + "\r\nfixture text" : "(null)");
    if (code == 0) LocalFree(info.text);
  }
  SetEnvironmentVariableA("TAVOK_FIXTURE_RESULT", nullptr);
}

TEST_F(PictureRequests, ADecoderWithoutTheEntryPointGivesEight) {
  Load({"fx_no_picture"});
  const std::string png = WriteCache("a.qcx", HeaderFor(kUrl), "png bytes");
  const Delivered picture = Picture(png);
  EXPECT_EQ(picture.result, 8);
  EXPECT_FALSE(picture.has_info);
  EXPECT_FALSE(IsModuleLoaded("fx_no_picture.spi"));

  Load({"fx_no_picture_info"});
  HostPictureInfo info;
  std::memset(&info, 0xCD, sizeof(info));
  EXPECT_EQ(get_picture_info_(png.c_str(), 0, 0, &info), 8);
  EXPECT_EQ(info.text, nullptr);
  EXPECT_EQ(info.width, static_cast<int32_t>(0xCDCDCDCD)) << "no decoder wrote the record";
  EXPECT_FALSE(IsModuleLoaded("fx_no_picture_info.spi"));
}

int __stdcall HostProgress(int, int, LONG_PTR) {
  return 0;
}

TEST_F(PictureRequests, TheHostsCallbackOrTheNeverAbortOneReachesTheDecoder) {
  Load({"fx_png"});
  const std::string png = WriteCache("a.qcx", HeaderFor(kUrl), "png bytes");
  for (ProgressFn callback : {static_cast<ProgressFn>(nullptr), &HostProgress}) {
    ASSERT_EQ(Picture(png, callback, 42).result, 0);
  }
  EXPECT_EQ(log_.Events({"GetPicture"}),
            (Lines{"fx_png GetPicture 9 1 70 callback=set answer=0 user=42",
                   "fx_png GetPicture 9 1 70 callback=set answer=0 user=42"}));
}

TEST_F(PictureRequests, FileAndMemoryInputAndInvalidInput) {
  Load({"fx_png"});
  const auto container = MakeContainer(HeaderFor(kUrl), "png bytes");
  std::string prefixed = "0123456789";
  prefixed.append(container.begin(), container.end());
  const std::string path = folder_.Write("a.qcx", prefixed);
  const std::string wrong_name = folder_.Write("a.jpg", prefixed);

  HostPictureInfo info;
  EXPECT_EQ(get_picture_info_(path.c_str(), 10, 0, &info), 0);
  LocalFree(info.text);
  EXPECT_EQ(get_picture_info_(reinterpret_cast<const char*>(container.data()),
                              static_cast<int32_t>(container.size()), 1, &info),
            0);
  EXPECT_EQ(TextOf(info.text), std::string(kUrl) + "\r\nfixture text");
  LocalFree(info.text);
  EXPECT_EQ(get_picture_info_(path.c_str(), 0, 0, &info), 2) << "not a container at offset 0";
  EXPECT_EQ(get_picture_info_(wrong_name.c_str(), 10, 0, &info), 2) << "not a .qcx name";
  EXPECT_EQ(get_picture_info_(folder_.Join("missing.qcx").c_str(), 0, 0, &info), 6);
  EXPECT_EQ(Picture(path.c_str(), -1, 0).result, 2);
  EXPECT_EQ(Picture(path.c_str(), 10, 0x10).result, 0) << "flag 0x10 is file input";
  EXPECT_EQ(Picture(reinterpret_cast<const char*>(container.data()), 12, 1).result, 2)
      << "shorter than the header";
}

TEST_F(PictureRequests, AShortHostBlockIsProbedThroughAPaddedCopy) {
  Load({"fx_png"});
  // The container ends exactly where readable memory ends; the fixture's
  // IsSupported reads 2000 bytes, which must not run into the guard page.
  const auto container = MakeContainer(HeaderFor(kUrl), "png bytes");
  GuardedBlock memory(container.size());
  const char* data = memory.Place(container);

  HostPictureInfo info;
  ASSERT_EQ(get_picture_info_(data, static_cast<int32_t>(container.size()), 1, &info), 0);
  EXPECT_EQ(info.width, 4) << "the decoder accepted the payload";
  LocalFree(info.text);
  unsigned sum = 0;
  for (char c : std::string("png bytes")) sum += static_cast<uint8_t>(c);
  EXPECT_EQ(log_.Events({"IsSupported"}),
            Lines{"fx_png IsSupported pic.png 706e6720 sum=" + std::to_string(sum)});
}

TEST_F(PictureRequests, NothingStaysLoadedOrAllocatedAfterARequest) {
  Load({"fx_decline", "fx_png"});
  const std::string png = WriteCache("a.qcx", HeaderFor(kUrl), "png bytes");
  const std::string zip = WriteCache("z.qcx", HeaderFor("http://h/a.zip"), "zip bytes");
  auto request = [&](const std::string& path) {
    HostPictureInfo info;
    std::string text;
    ASSERT_EQ(Info(path, &info, &text), 0);
    ASSERT_EQ(Picture(path).result, 0);
  };
  for (const std::string& path : {png, zip}) {
    request(path);  // warm-up: first-use caches of the platform
    const size_t before = BusyHeapBlocks();
    for (int i = 0; i < 5; ++i) request(path);
    EXPECT_EQ(BusyHeapBlocks(), before) << path;
    EXPECT_FALSE(IsModuleLoaded("fx_png.spi"));
    EXPECT_FALSE(IsModuleLoaded("fx_decline.spi"));
  }
  EXPECT_EQ(log_.Events({"attach"}).size(), log_.Events({"detach"}).size());
}

TEST_F(PictureRequests, TavokListedUnderAnotherSpellingDoesNotServeItself) {
  // A cache file wrapping another cache file: only tavok itself declares
  // *.qcx, and it must not be registered as its own decoder.
  folder_.AddFixture("fx_png", "fx_png.spi");
  folder_.WriteIni("[SPI]\r\nCount=2\r\nPath0=" + folder_.path() + "\\sub/../" +
                   std::string(kOwnFileName) + "\r\nPath1=fx_png.spi\r\n");
  folder_.AddTavok();
  plugin_ = std::make_unique<PluginModule>(folder_.TavokPath());
  get_picture_info_ = plugin_->Get<GetPictureInfoFn>("GetPictureInfo");
  const auto inner = MakeContainer(HeaderFor(kUrl), "png bytes");
  const std::string outer = WriteCache("outer.qcx", HeaderFor("http://h/inner.qcx"),
                                       std::string(inner.begin(), inner.end()));
  HostPictureInfo info;
  std::string text;
  ASSERT_EQ(Info(outer, &info, &text), 0);
  EXPECT_EQ(info.width, 48) << "the placeholder, not the inner picture";
  EXPECT_EQ(text, "http://h/inner.qcx");
}

}  // namespace
}  // namespace tavok::testing
