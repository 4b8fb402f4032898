// The preview form's reader: fields and files as a browser sends them,
// and bodies broken off anywhere, which it refuses without reading past
// their end (the sanitizer build sees every byte it reads).
#include "multipart.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes BytesOf(const std::string &text) { return Bytes(text.begin(), text.end()); }

std::string TextOf(std::span<const uint8_t> value) {
  return std::string(value.begin(), value.end());
}

constexpr const char *kBoundary = "----WebKitFormBoundaryx7Hq";

// A file whose bytes look like the start of a boundary line, and hold a NUL.
const std::string kFile =
    std::string("\x89PNG\r\n--", 8) + "----WebKitForm" + std::string(1, '\0') + "\r\n--x";

// A body as Chromium sends the preview form.
std::string FormBody() {
  const std::string b = std::string("--") + kBoundary;
  return b + "\r\nContent-Disposition: form-data; name=\"session\"\r\n\r\nabc123\r\n" + b +
         "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"label.png\"\r\n"
         "Content-Type: image/png\r\n\r\n" +
         kFile + "\r\n" + b +
         "\r\nContent-Disposition: form-data; name=\"label-origin\"\r\n\r\nrotation-90\r\n" + b +
         "--\r\n";
}

TEST(Multipart, ReadsTheFieldsAndTheFileAsSent) {
  std::string problem;
  const Bytes body = BytesOf(FormBody());
  const auto parts = ParseMultipart(body, kBoundary, problem);
  ASSERT_TRUE(parts) << problem;
  ASSERT_EQ(parts->size(), 3u);
  EXPECT_EQ((*parts)[0].name, "session");
  EXPECT_FALSE((*parts)[0].isFile);
  EXPECT_EQ(TextOf((*parts)[0].value), "abc123");
  EXPECT_EQ((*parts)[1].name, "file");
  EXPECT_TRUE((*parts)[1].isFile);
  EXPECT_EQ((*parts)[1].filename, "label.png");
  EXPECT_EQ(TextOf((*parts)[1].value), kFile);
  EXPECT_EQ(TextOf(FindPart(*parts, "label-origin")->value), "rotation-90");
  EXPECT_EQ(FindPart(*parts, "media"), nullptr);
}

TEST(Multipart, TakesTheBoundaryOfAFormContentTypeOnly) {
  EXPECT_EQ(MultipartBoundary("multipart/form-data; boundary=----WebKitFormBoundaryx7Hq"),
            "----WebKitFormBoundaryx7Hq");
  EXPECT_EQ(MultipartBoundary("Multipart/Form-Data;boundary=\"a b\""), "a b");
  EXPECT_EQ(MultipartBoundary("multipart/form-data"), std::nullopt);
  EXPECT_EQ(MultipartBoundary("application/x-www-form-urlencoded; boundary=x"), std::nullopt);
  EXPECT_EQ(MultipartBoundary("multipart/form-data; boundary=" + std::string(71, 'b')),
            std::nullopt);
}

// Every body cut short is refused; only the whole one is read.
TEST(Multipart, RefusesEveryBodyCutShort) {
  const std::string whole = FormBody();
  const size_t closed = whole.size() - 2; // its last line break is not needed
  for (size_t size = 0; size < whole.size(); ++size) {
    const Bytes body = BytesOf(whole.substr(0, size));
    std::string problem;
    EXPECT_EQ(ParseMultipart(body, kBoundary, problem).has_value(), size >= closed) << size;
    EXPECT_EQ(problem.empty(), size >= closed) << size;
  }
}

struct Malformed {
  const char *name;
  std::string body;
  const char *problem;
};
void PrintTo(const Malformed &c, std::ostream *os) { *os << c.name; }

class MalformedBody : public ::testing::TestWithParam<Malformed> {};

TEST_P(MalformedBody, IsRefusedWithItsReason) {
  const Bytes body = BytesOf(GetParam().body);
  std::string problem;
  EXPECT_FALSE(ParseMultipart(body, "B", problem));
  EXPECT_EQ(problem, GetParam().problem);
}

std::string ManyParts(size_t count) {
  std::string body;
  for (size_t i = 0; i < count; ++i)
    body += "--B\r\nContent-Disposition: form-data; name=\"f\"\r\n\r\nv\r\n";
  return body + "--B--";
}

INSTANTIATE_TEST_SUITE_P(
    Multipart, MalformedBody,
    ::testing::Values(Malformed{"NoBoundary", "name=value", "the form has no boundary line"},
                      Malformed{"BrokenBoundaryLine", "--Bx\r\n\r\nv\r\n--B--",
                                "a boundary line of the form is broken off"},
                      Malformed{"NoName", "--B\r\nContent-Disposition: form-data\r\n\r\nv\r\n--B--",
                                "a field of the form has no name"},
                      Malformed{"LongHeader",
                                "--B\r\nX: " + std::string(kMaxPartHeaderLine, 'x') +
                                    "\r\n\r\nv\r\n--B--",
                                "a header line of the form is longer than 1024 bytes"},
                      Malformed{"TooManyParts", ManyParts(kMaxFormParts + 1),
                                "the form has more than 64 fields"}),
    [](const auto &test) { return std::string(test.param.name); });

TEST(Multipart, ReadsAsManyPartsAsAFormMayHave) {
  const Bytes body = BytesOf(ManyParts(kMaxFormParts));
  std::string problem;
  const auto parts = ParseMultipart(body, "B", problem);
  ASSERT_TRUE(parts) << problem;
  EXPECT_EQ(parts->size(), kMaxFormParts);
}

} // namespace
