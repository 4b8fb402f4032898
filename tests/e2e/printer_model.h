// What the filter must write for a job, rebuilt plainly from the printer's
// rules, one pixel at a time, so that the real filter's output can be compared
// with it byte for byte and line by line. Gray and colour pages are converted
// by the conversion model first.
#pragma once

#include "support/filter_runner.h"
#include "support/ppd_writer.h"
#include "support/raster_writer.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

// A picture of dots, row-major; true is a black dot.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<bool> dots;

  Picture(int w, int h) : width(w), height(h), dots(size_t(w) * size_t(h)) {}
  bool At(int x, int y) const { return dots[size_t(y) * size_t(width) + size_t(x)]; }
  void Set(int x, int y, bool black = true) { dots[size_t(y) * size_t(width) + size_t(x)] = black; }
  void FillRows(int firstRow, int lastRow); // black rows firstRow..lastRow, inclusive
};

// A picture no transform maps onto itself: scattered dots from a fixed seed.
Picture Scattered(int width, int height, unsigned seed);

// The 1-bit raster lines of a picture: 1 = black, leftmost pixel in the most
// significant bit, zero bits after the last pixel, then 'paddingByte' in every
// byte of the line past the pixels.
std::vector<uint8_t> RasterLines(const Picture &picture, unsigned bytesPerLine,
                                 uint8_t paddingByte = 0);

// A 1-bit raster page of the picture with all its lines.
testsupport::RasterPage OneBitPage(const Picture &picture, unsigned bytesPerLine = 0,
                                   uint8_t paddingByte = 0);

// The marked choice of each option the filter reads (after the PPD defaults
// and the job options); an option that is absent has no marked choice.
using Marked = std::map<std::string, std::string>;

// PPD options offering exactly the marked choices as defaults.
std::vector<testsupport::PpdOption> PpdFor(const Marked &marked);

// The bytes of one copy of a page's command stream, when the filter reads
// 'linesRead' of the page's lines (all of them by default).
std::vector<uint8_t> PageStream(const Marked &marked, const testsupport::RasterPage &page,
                                std::optional<unsigned> linesRead = std::nullopt);

// A job as the test runs it.
struct Job {
  Marked marked{};
  std::vector<testsupport::RasterPage> pages{};
  std::string options{}; // argv[5]
  // The PPD's options when they are not simply the marked choices as
  // defaults; 'marked' then says what the filter must find marked.
  std::optional<std::vector<testsupport::PpdOption>> ppd{};
  int inputFd = 0; // 0 for standard input, else the descriptor of argv[6]
};

struct Expected {
  std::vector<uint8_t> out;
  std::vector<std::string> err; // masked as testsupport::MaskVarying does
  int exitStatus = 0;
};

// The lines StartPage writes for a header, "ERROR: StartPage..." first.
std::vector<std::string> HeaderLines(const cups_page_header2_t &h);

// The lines of one page, from "Starting page" to "EndPage return", when the
// filter reads 'linesRead' of the page's lines (all of them by default).
std::vector<std::string> PageLines(const Marked &marked, const testsupport::RasterPage &page,
                                   int pageNumber,
                                   std::optional<unsigned> linesRead = std::nullopt);

// The lines from the release of pDataBuf to the last line of the filter;
// pDataBuf is made by gray and colour pages.
std::vector<std::string> CleanupLines(const std::string &options, int inputFd,
                                      bool packedBufferMade = false);

// Everything the filter writes for a job in which nothing goes wrong.
Expected ExpectJob(const Job &job);

// Standard error lines that are none of the filter's regular traces: the
// reports of a problem.
std::vector<std::string> ProblemReports(const std::vector<std::string> &lines);

// True if 'block' appears in 'lines' as consecutive lines.
bool ContainsBlock(const std::vector<std::string> &lines, const std::vector<std::string> &block);

} // namespace e2e
