#include "container/cache_container.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "container/lead_bytes.h"
#include "container_builder.h"
#include "lead_byte_scope.h"

namespace tavok {
namespace {

using testing::HeaderFor;
using testing::MakeContainer;
using testing::MakeContainerWithLength;

// gtest names parameterised cases after their label, letters and digits only.
template <typename Info>
std::string LabelOf(const Info& info) {
  std::string name = info.param.label;
  for (char& c : name) {
    if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

int32_t Validate(const char* name, const std::vector<uint8_t>& bytes) {
  return ValidateContainer(name, bytes.data(), static_cast<int32_t>(bytes.size()));
}

TEST(ValidateContainer, SmallestContainerHasEmptyPayloadAtSixteen) {
  const auto bytes = MakeContainer("0123456789\r\n", "");
  ASSERT_EQ(bytes.size(), 16u);
  EXPECT_EQ(Validate(nullptr, bytes), 16);
}

struct LayoutCase {
  const char* label;
  int32_t header_length;
  std::string header;
  std::string payload;
  int32_t expected;
};

class ContainerLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(ContainerLayout, GivesPayloadOffsetOrZero) {
  const LayoutCase& lc = GetParam();
  const auto bytes = MakeContainerWithLength(lc.header_length, lc.header, lc.payload);
  EXPECT_EQ(Validate("a.qcx", bytes), lc.expected) << lc.label;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ContainerLayout,
    ::testing::Values(LayoutCase{"typical", 43, HeaderFor("http://h/a.png"), "PNGDATA", 47},
                      LayoutCase{"header 11", 11, "012345678\r\n", "xxxxx", 0},
                      LayoutCase{"ends LF CR", 12, "0123456789\n\r", "xx", 0},
                      LayoutCase{"one past the data", 13, "0123456789\r\n", "", 0},
                      LayoutCase{"exactly the data", 13, "01234567890\r\n", "", 17},
                      LayoutCase{"negative", -1, "0123456789\r\n", "abcd", 0},
                      LayoutCase{"most negative", INT_MIN, "0123456789\r\n", "abcd", 0},
                      LayoutCase{"largest", INT_MAX, "0123456789\r\n", "abcd", 0},
                      LayoutCase{"largest minus three", INT_MAX - 3, "0123456789\r\n", "abcd", 0},
                      LayoutCase{"zero", 0, "0123456789\r\n", "abcd", 0},
                      LayoutCase{"shorter than sixteen", 12, "0123456789\r", "", 0}),
    LabelOf<::testing::TestParamInfo<LayoutCase>>);

TEST(ValidateContainer, HeaderLengthMatchingHeaderText) {
  const std::string header = HeaderFor("http://h/a.png");
  EXPECT_EQ(Validate(nullptr, MakeContainer(header, "x")), static_cast<int32_t>(header.size()) + 4);
}

TEST(ValidateContainer, RejectsLengthBelowSixteenWithoutReading) {
  // Only four bytes exist: a reader that looked at the header would overrun.
  const uint8_t bytes[4] = {12, 0, 0, 0};
  EXPECT_EQ(ValidateContainer(nullptr, bytes, 4), 0);
  EXPECT_EQ(ValidateContainer(nullptr, bytes, -5), 0);
}

struct NameCase {
  const char* name;
  bool accepted;
};

class ContainerName : public ::testing::TestWithParam<NameCase> {};

TEST_P(ContainerName, NeedsTheCacheExtension) {
  const auto bytes = MakeContainer(HeaderFor("http://h/a.png"), "data");
  for (const LeadByteSet& set : {SingleByteSet(), CodePage932Set()}) {
    LeadByteScope scope(set);
    EXPECT_EQ(Validate(GetParam().name, bytes) != 0, GetParam().accepted) << GetParam().name;
  }
}

INSTANTIATE_TEST_SUITE_P(Names, ContainerName,
                         ::testing::Values(NameCase{"a.QCX", true},
                                           NameCase{"C:\\dir\\a.qcx", true},
                                           NameCase{"a.qcx.bak", false}, NameCase{"a.", false},
                                           NameCase{"C:\\dir.qcx\\a", false},
                                           NameCase{"qcx", false}, NameCase{"", false},
                                           NameCase{"dir/a.qcx", true}, NameCase{"a.qcx/b", false},
                                           NameCase{".qcx", true},
                                           // Double-byte names whose trail bytes are backslashes.
                                           NameCase{"C:\\\x95\x5C\\\x83\x5C.qcx", true},
                                           NameCase{"\x95\x5C.jpg", false}));

TEST(ValidateContainer, NullNameSkipsTheExtensionTest) {
  EXPECT_NE(Validate(nullptr, MakeContainer(HeaderFor("http://h/a.png"), "")), 0);
}

struct SourceCase {
  const char* label;
  std::string header;
  const char* url;
  const char* name;
};

class SourceNames : public ::testing::TestWithParam<SourceCase> {};

TEST_P(SourceNames, TakesUrlAndLastSegment) {
  const SourceCase& sc = GetParam();
  const auto bytes = MakeContainer(sc.header, "payload");
  ASSERT_NE(Validate(nullptr, bytes), 0) << sc.label;
  const SourceName source = ExtractSourceName(bytes.data());
  EXPECT_EQ(source.url, sc.url) << sc.label;
  EXPECT_STREQ(source.name, sc.name) << sc.label;
}

INSTANTIATE_TEST_SUITE_P(
    Headers, SourceNames,
    ::testing::Values(SourceCase{"query", HeaderFor("http://h/img/pic.jpg?size=2"),
                                 "http://h/img/pic.jpg?size=2", "pic.jpg"},
                      // The query starts at the first "?", the fragment at the
                      // first "#"; the name is the last segment before them.
                      SourceCase{"slash in query",
                                 HeaderFor("http://example.com/pics/cat.png?from=/gallery/index"),
                                 "http://example.com/pics/cat.png?from=/gallery/index", "cat.png"},
                      SourceCase{"two questions", HeaderFor("http://h/cat.png?v=1?x"),
                                 "http://h/cat.png?v=1?x", "cat.png"},
                      SourceCase{"fragment", HeaderFor("http://h/img/rgb.png#top"),
                                 "http://h/img/rgb.png#top", "rgb.png"},
                      SourceCase{"fragment before a question", HeaderFor("http://h/a.png#x/y?z"),
                                 "http://h/a.png#x/y?z", "a.png"},
                      SourceCase{"escaped question in the path", HeaderFor("http://h/a%3Fb.png?q"),
                                 "http://h/a%3Fb.png?q", "a%3Fb.png"},
                      SourceCase{"query right after the host", HeaderFor("http://h?x=/a.png"),
                                 "http://h?x=/a.png", "h"},
                      SourceCase{"empty value", "A=1\r\nURL=\r\nB=2\r\n", "", ""},
                      SourceCase{"first occurrence",
                                 "ORIG-URL=http://x/o.gif\r\nURL=http://y/u.png\r\n",
                                 "http://x/o.gif", "o.gif"},
                      SourceCase{"lower case key", "A=1\r\nurl=http://h/a.png\r\n", "", ""},
                      SourceCase{"no url line", "A=1\r\nB=2\r\nC=3\r\n", "", ""},
                      SourceCase{"no slash", "URL=pic.png\r\nA=1\r\n", "pic.png", ""},
                      SourceCase{"trailing slash", HeaderFor("http://h/dir/"), "http://h/dir/", ""},
                      SourceCase{"zero byte ends the header",
                                 std::string("A=1\r\n\0URL=http://h/a.png\r\n", 26), "", ""},
                      SourceCase{"a lone LF does not end the value",
                                 "A=1\r\nURL=http://h/a.png\nB=2\r\n", "http://h/a.png\nB=2",
                                 "a.png\nB=2"}),
    LabelOf<::testing::TestParamInfo<SourceCase>>);

TEST(ExtractSourceName, LongHeadersAndUrlsAreTakenWhole) {
  // A signed URL with a 600-byte query, after 3000 bytes of other lines.
  const std::string url = "http://h/img/pic.png?sig=" + std::string(600, 's');
  const std::string header = "A=" + std::string(3000, 'x') + "\r\nURL=" + url + "\r\nB=1\r\n";
  const auto bytes = MakeContainer(header, "");
  const SourceName source = ExtractSourceName(bytes.data());
  EXPECT_EQ(source.url, url);
  EXPECT_STREQ(source.name, "pic.png");
  // The search ends with the header, whatever follows it.
  const auto unended = MakeContainerWithLength(static_cast<int32_t>(header.size()) - 7, header, "");
  EXPECT_EQ(ExtractSourceName(unended.data()).url, "");
}

TEST(ExtractSourceName, LongSegmentsAreTruncated) {
  const std::string segment(300, 'n');
  const std::string url = "http://h/" + segment + "?q=1";
  const auto bytes = MakeContainer("URL=" + url + "\r\n", "");
  const SourceName source = ExtractSourceName(bytes.data());
  EXPECT_EQ(source.url, url);
  EXPECT_EQ(std::string(source.name), segment.substr(0, 259));
}

TEST(ExtractSourceName, DoubleByteUrlsUnderCodePage932) {
  LeadByteScope scope(CodePage932Set());
  // "表" (0x95 0x5C) in a path segment, and a character whose trail byte is
  // 'U' right before "RL=" that must not be taken for the key.
  const std::string url = "http://h/\x95\x5C/\x83\x5C.png?x=\x95\x5C";
  const auto bytes = MakeContainer("X=\x83URL=bad/b.gif\r\nURL=" + url + "\r\n", "");
  const SourceName source = ExtractSourceName(bytes.data());
  EXPECT_EQ(source.url, url);
  EXPECT_STREQ(source.name, "\x83\x5C.png");
}

TEST(ExtractSourceName, SingleBytePageSeesTheTrailByteKey) {
  LeadByteScope scope(SingleByteSet());
  const auto bytes = MakeContainer("X=\x83URL=bad/b.gif\r\nURL=http://h/a.png\r\n", "");
  EXPECT_STREQ(ExtractSourceName(bytes.data()).name, "b.gif");
}

}  // namespace
}  // namespace tavok
