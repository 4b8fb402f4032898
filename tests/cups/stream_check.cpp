// 'stream_check' - Read a printer command stream back, command by command.
//
//   stream_check STREAM [--same-as REFERENCE.pbm]
//
// Prints one line per command to standard output:
//
//   setting NAME N   0x19 code n, with the name of the printer setting
//   band W           GS v 0 raster band, W bytes wide and 24 rows high
//   blank            GS v 0 band one byte wide without dots (paper advance)
//   feed N           ESC J n
//   cut              GS V 0
//
// The commands are the labelpreview decoder's (core/picture/stream_decoder.h).
// On top of what it accepts, the filter sends bands only 24 rows high and
// never a feed of 0 rows. stream_check exits 2, naming the offset, at the first byte
// that starts no command, at a truncated command, or at a band or feed that
// the filter would not send; the commands before it are printed. --same-as
// compares the dots of the paper the stream prints with a PBM picture of the
// page and exits 1 when a dot differs; the page's rows past the paper's end
// must then be white, since the printer is not sent them.
#include "paper.h"
#include "stream_decoder.h"
#include "support/file_bytes.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace {

// The height of every band the filter sends, blank bands included.
constexpr unsigned kBandRows = 24;
static_assert(kBandRows == preview::kBlankBandRows);

// A picture of dots, one bit per dot, rows of 'widthBytes' bytes, 1 = black,
// leftmost dot in the most significant bit.
struct Dots {
  int widthBytes = 0;
  std::vector<std::vector<uint8_t>> rows;
};

// 'Check()' - Print the decoded commands up to the first one the filter would
// not send, or up to the decoder's error. Returns false at either.
bool Check(const preview::DecodedStream &decoded) {
  auto fail = [](const std::string &what, size_t offset) {
    fprintf(stderr, "stream_check: %s at offset %zu\n", what.c_str(), offset);
    return false;
  };
  for (const preview::Command &command : decoded.commands) {
    switch (command.kind) {
    case preview::CommandKind::kSetting:
      printf("setting %s %u\n", preview::SettingName(command.code), unsigned(command.value));
      break;
    case preview::CommandKind::kBand:
      if (command.height != kBandRows)
        return fail("band is not 24 rows high", command.offset);
      printf("band %u\n", command.widthBytes);
      break;
    case preview::CommandKind::kBlankBand:
      printf("blank\n");
      break;
    case preview::CommandKind::kFeed:
      if (command.value == 0)
        return fail("feed of 0 rows", command.offset);
      printf("feed %u\n", unsigned(command.value));
      break;
    case preview::CommandKind::kCut:
      printf("cut\n");
      break;
    }
  }
  if (decoded.error)
    return fail(decoded.error->message, decoded.error->offset);
  return true;
}

// 'PaperDots()' - The paper the stream prints, from the first row out: its
// bands' rows, blank bands and feeds as white rows, cuts left out.
Dots PaperDots(std::span<const preview::Command> commands) {
  Dots dots;
  const unsigned widthBytes = preview::PaperWidthBytes(commands);
  dots.widthBytes = int(widthBytes);
  const preview::Label paper{.first = 0, .end = commands.size()};
  preview::DrawLabel(commands, paper, widthBytes, [&](std::span<const uint8_t> row) {
    dots.rows.emplace_back(row.begin(), row.end());
    return true;
  });
  return dots;
}

// 'ReadPbm()' - Read a raw PBM picture (P4, as ghostscript writes it).
std::optional<Dots> ReadPbm(const char *path, int &width) {
  auto bytes = testsupport::ReadWholeFile(path);
  if (!bytes)
    return std::nullopt;
  // Header: "P4", white space, width, white space, height, one white space.
  size_t at = 0;
  auto token = [&]() {
    std::string t;
    while (at < bytes->size()) {
      const char c = char((*bytes)[at]);
      if (c == '#') {
        while (at < bytes->size() && (*bytes)[at] != '\n')
          ++at;
      } else if (isspace(static_cast<unsigned char>(c))) {
        ++at;
        if (!t.empty())
          return t;
      } else {
        t += c;
        ++at;
      }
    }
    return t;
  };
  if (token() != "P4")
    return std::nullopt;
  width = std::stoi(token());
  const int height = std::stoi(token());
  Dots dots;
  dots.widthBytes = (width + 7) / 8;
  if (bytes->size() - at < size_t(dots.widthBytes) * size_t(height))
    return std::nullopt;
  for (int r = 0; r < height; ++r) {
    auto row = bytes->begin() + long(at) + long(r) * dots.widthBytes;
    dots.rows.emplace_back(row, row + dots.widthBytes);
  }
  return dots;
}

// 'Differences()' - Count the dots in which the stream and the page differ.
// The stream's rows may be wider (row padding) and fewer (white rows at the
// end are not sent) than the page's; padding and missing rows must be white.
long Differences(const Dots &stream, const Dots &page, int pageWidth) {
  long differing = 0;
  const size_t rows = std::max(stream.rows.size(), page.rows.size());
  const int width = std::max(stream.widthBytes * 8, pageWidth);
  for (size_t r = 0; r < rows; ++r) {
    for (int x = 0; x < width; ++x) {
      auto dot = [&](const Dots &d, int w) {
        if (r >= d.rows.size() || x >= w)
          return false;
        return ((d.rows[r][size_t(x / 8)] >> (7 - x % 8)) & 1) != 0;
      };
      if (dot(stream, stream.widthBytes * 8) != dot(page, pageWidth))
        ++differing;
    }
  }
  return differing;
}

} // namespace

int main(int argc, char **argv) {
  const char *reference = nullptr;
  if (argc == 4 && strcmp(argv[2], "--same-as") == 0)
    reference = argv[3];
  else if (argc != 2) {
    fprintf(stderr, "usage: stream_check STREAM [--same-as REFERENCE.pbm]\n");
    return 2;
  }

  auto stream = testsupport::ReadWholeFile(argv[1]);
  if (!stream) {
    fprintf(stderr, "stream_check: cannot read %s\n", argv[1]);
    return 2;
  }
  const preview::DecodedStream decoded = preview::DecodeStream(*stream);
  if (!Check(decoded))
    return 2;
  if (reference) {
    int pageWidth = 0;
    auto page = ReadPbm(reference, pageWidth);
    if (!page) {
      fprintf(stderr, "stream_check: cannot read the PBM picture %s\n", reference);
      return 2;
    }
    const long differing = Differences(PaperDots(decoded.commands), *page, pageWidth);
    if (differing != 0) {
      fprintf(stderr, "stream_check: %ld dots differ from %s\n", differing, reference);
      return 1;
    }
  }
  return 0;
}
