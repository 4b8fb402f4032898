// What the filter must write for a job, rebuilt plainly from the printer's
// rules, one pixel at a time, so that the real filter's output can be compared
// with it byte for byte and line by line. Gray and colour pages are converted
// by the conversion model first.
#pragma once

#include "support/filter_runner.h"
#include "support/picture.h"
#include "support/ppd_writer.h"
#include "support/raster_writer.h"

#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

using testsupport::OneBitPage;
using testsupport::Picture;
using testsupport::Scattered;

// The marked choice of each option the filter reads (after the PPD defaults
// and the job options); an option that is absent has no marked choice.
using Marked = std::map<std::string, std::string>;

// The marked choice of 'option'; nullptr when it has none.
const std::string *Choice(const Marked &marked, const std::string &option);

// "Origin" "Rotation180": the page is sent unturned.
inline const Marked kUnturned = {{"Origin", "Rotation180"}};

// 'marked' with the further choices, which take the place of any choice of
// the same option.
Marked With(Marked marked, std::initializer_list<std::pair<const std::string, std::string>> more);

// The lines a page carries, which may be fewer than its cupsHeight.
unsigned LinesIn(const testsupport::RasterPage &page);

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
