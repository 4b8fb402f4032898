// make_fuzz_seeds - write the seed corpus of the three harnesses.
//
//   make_fuzz_seeds DIR
//
// writes DIR/page/, DIR/job/ and DIR/decoder/: small label pages drawn in
// code at every depth, the raster streams of small jobs (compressed and not,
// a page that ends early, a stream without pages), and the printer streams
// the filter makes of the page seeds, read through page_fuzzer's reading of
// its input (fuzz_inputs.h). The same program always writes the same files.
#include "command_stream.h"
#include "fuzz_inputs.h"
#include "fuzz_io.h"
#include "intake.h"
#include "page_header.h"
#include "support/label_page.h"
#include "support/raster_writer.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace {

struct PageSeed {
  const char *name;
  int width, height, bits;
  unsigned extraBytes; // per line, beyond the least
  uint8_t dithering;   // page_fuzzer byte 9
  uint8_t orientation; // page_fuzzer byte 10
  uint8_t feed;        // page_fuzzer byte 11: the feed and settings commands
  unsigned copies;
  bool short_; // the page ends after half its lines
};

// Small pages, every depth, mode and orientation at least once.
constexpr PageSeed kPages[] = {
    {"label1", 64, 48, 1, 0, 0, 0x00, 0x13, 1, false},
    {"label1-padded-turned", 40, 30, 1, 3, 0, 0x09, 0x05, 2, false},
    {"label8-edge", 48, 40, 8, 0, 0, 0x00, 0x00, 1, false},
    {"label8-threshold-180", 48, 40, 8, 0, 1, 0x02, 0x24, 1, false},
    {"label8-ordered-mirror", 40, 36, 8, 2, 2, 0x08, 0x00, 1, false},
    {"label8-diffusion-270-negative", 40, 36, 8, 0, 3, 0x13, 0x45, 1, true},
    {"label24", 32, 30, 24, 0, 0, 0x40, 0x00, 1, false},
    {"label24-turned-mirror", 30, 26, 24, 4, 0, 0x29, 0x83, 3, false},
    {"one-pixel", 1, 1, 1, 0, 0, 0x01, 0x00, 1, false},
    {"narrow-tall8", 2, 300, 8, 0, 3, 0x01, 0x00, 1, false},
    {"wide-flat24", 600, 2, 24, 0, 0, 0x00, 0x00, 1, false},
};

struct JobSeed {
  const char *name;
  uint8_t options; // job_fuzzer byte 0
  int width, height, bits;
  int pages;
  cups_mode_t mode;
  int linesSent; // of the last page; -1 for all
};

constexpr JobSeed kJobs[] = {
    {"one-bit", 0x40, 64, 48, 1, 1, CUPS_RASTER_WRITE_COMPRESSED, -1},
    {"gray-two-pages", 0x80, 48, 40, 8, 2, CUPS_RASTER_WRITE_COMPRESSED, -1},
    {"gray-diffusion-turned", 0x17, 40, 32, 8, 1, CUPS_RASTER_WRITE, -1},
    {"colour-mirror", 0x3C, 32, 24, 24, 1, CUPS_RASTER_WRITE_COMPRESSED, -1},
    {"ends-early", 0x06, 40, 60, 8, 1, CUPS_RASTER_WRITE, 10},
    {"no-pages", 0x80, 0, 0, 1, 0, CUPS_RASTER_WRITE_COMPRESSED, -1},
};

bool WriteFile(const std::string &path, const std::vector<uint8_t> &bytes) {
  FILE *f = fopen(path.c_str(), "wb");
  if (f == nullptr)
    return false;
  const bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

// A page_fuzzer input: the page description, then the lines of the page
// drawn once, all of them, even when the page is to end early.
std::vector<uint8_t> PageSeedBytes(const PageSeed &s) {
  LabelPage page = DrawLabelPage(s.width, s.height, s.bits, 0,
                                 (size_t(s.width) * s.bits + 7) / 8 + s.extraBytes);
  std::vector<uint8_t> bytes = {uint8_t(s.width),
                                uint8_t(s.width >> 8),
                                uint8_t(s.height),
                                uint8_t(s.height >> 8),
                                uint8_t(s.bits == 1   ? 0
                                        : s.bits == 8 ? 1
                                                      : 2),
                                uint8_t(s.extraBytes),
                                uint8_t(s.short_ ? 1 : 0),
                                uint8_t(s.short_ ? 128 : 0),
                                uint8_t(s.copies),
                                s.dithering,
                                s.orientation,
                                s.feed};
  bytes.insert(bytes.end(), page.pixels.begin(), page.pixels.end());
  return bytes;
}

testsupport::RasterPage RasterOf(const LabelPage &page) {
  testsupport::RasterPage raster{
      testsupport::MakeHeader(unsigned(page.width), unsigned(page.height),
                              unsigned(page.bitsPerPixel), unsigned(page.bytesPerLine)),
      page.pixels};
  return raster;
}

// The printer stream the filter writes for a page seed, every copy of the
// page, as page_fuzzer makes it of the seed's bytes. Nothing when page_fuzzer
// would pass the seed by or the page fails.
std::optional<std::vector<uint8_t>> PrinterStream(std::span<const uint8_t> seed) {
  const std::optional<fuzz::PageInput> page = fuzz::ReadPageInput(seed);
  if (!page)
    return std::nullopt;
  std::vector<uint8_t> stream;
  PackedPage packed = IntakePage(RasterPageLines(page->header, fuzz::PageLines(*page), page->lines),
                                 page->settings.dithering, StreamSink(stream));
  const PageOutcome outcome =
      ProcessData(page->settings, packed, page->header.NumCopies, StreamSink(stream));
  if (outcome != PageOutcome::Printed)
    return std::nullopt;
  return stream;
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_fuzz_seeds DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  for (const char *sub : {"", "/page", "/job", "/decoder"})
    mkdir((dir + sub).c_str(), 0755);
  // The filter's job log is not wanted here; its printer stream is read back.
  fuzz::QuietFilterOutput();

  bool ok = true;
  for (const PageSeed &s : kPages) {
    const std::vector<uint8_t> seed = PageSeedBytes(s);
    ok &= WriteFile(dir + "/page/" + s.name, seed);
    // A blank page without settings, feed or cut sends the printer nothing:
    // no decoder seed for it.
    const std::optional<std::vector<uint8_t>> stream = PrinterStream(seed);
    ok &= stream.has_value();
    if (stream && !stream->empty())
      ok &= WriteFile(dir + "/decoder/" + s.name, *stream);
  }
  for (const JobSeed &s : kJobs) {
    std::vector<testsupport::RasterPage> pages;
    for (int i = 0; i < s.pages; ++i)
      pages.push_back(RasterOf(DrawLabelPage(s.width, s.height, s.bits, unsigned(i))));
    if (s.linesSent >= 0)
      pages.back().lines.resize(size_t(s.linesSent) * pages.back().header.cupsBytesPerLine);
    std::optional<std::vector<uint8_t>> stream = testsupport::WriteRaster(pages, s.mode);
    if (!stream) {
      ok = false;
      continue;
    }
    stream->insert(stream->begin(), s.options);
    ok &= WriteFile(dir + "/job/" + s.name, *stream);
  }
  return ok ? 0 : 1;
}
