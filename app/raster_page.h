// A page of a job as the printer application receives it: a page header and
// raster lines, gathered and then printed through the engine like a filter
// page of the same depth. Nothing here asks PAPPL for anything, so that the
// same code runs under the server and under a fuzzer.
#pragma once

#include "engine_sink.h"
#include "intake.h"
#include "page_bytes.h"
#include "page_limits.h"
#include "settings.h"

#include <cups/raster.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A page the head prints as it comes is up to kHeadDots wide and
// kMaxPageRows long (printer_model.h). A gray page larger than the job's
// paper (a Letter or A4 page, say) is scaled down to fit it: such a page may
// be as large as the largest raster the filter takes (page_limits.h).

// The paper of the job, in dots: a page larger than that is scaled down.
struct Paper {
  unsigned width = kHeadDots;
  unsigned height = kMaxPageRows;
};

// Why a page is not printed.
enum class PageFault {
  None,
  Unprintable, // a page the printer cannot print
  Damaged,     // the document broke off
  NoMemory,
  PrinterGone, // the printer takes no more data
};

struct PageResult {
  PageFault fault = PageFault::None;
  std::string message; // one line that says why, or what was done to the page
};

// The page being received.
struct RasterPage {
  PageBytes lines;                       // its raster lines, as they came
  LineFormat format = LineFormat::Gray8; // how they stand for its pixels
  unsigned bitsStride = 0;               // a 1-bit page in gray lines: its bytes per line, else 0
  bool lastDotsBlack = true;             // so far every line's last byte of bits is 0xFF
  unsigned linesReceived = 0;
  Paper fitTo{};    // the paper the page is scaled down to, when 'fit'
  bool fit = false; // scaled down to the paper before it is printed
  // A page converted to dots as it was drawn, in place of its lines.
  std::optional<PackedPage> dots;
};

// 'ColorSpace()' - The header's colour space as a number: a stream may hold
// any value there, which is no cups_cspace_t.
unsigned ColorSpace(const cups_page_header2_t &h);

// 'IsMediaHeaderOfBits()' - Whether a page of a PWG document comes as PAPPL
// 1.3 hands over a 1-bit page: neither in 1-bit lines nor in gray ones, but
// each line carrying the page's packed bits (1 = black) at its start, the
// rest 0xFF (white gray, but black bits), under the header of the job's
// 8-bit gray page at the size of its media; the page's own width is not
// handed over. A page whose lines come as they are comes under its own header,
// which a PWG stream always names "PwgRaster".
bool IsMediaHeaderOfBits(const cups_page_header2_t &h);

// 'BeginRasterPage()' - Check the header of page 'number' against the head
// and the job's 'paper'. 'bitsThrough': the lines carry a 1-bit page's
// packed bits at their start (see PassesBitsThrough() in job.cpp).
PageResult BeginRasterPage(RasterPage &page, const cups_page_header2_t &h, bool bitsThrough,
                           unsigned number, const Paper &paper = {});

// 'AddRasterLine()' - Take line 'y' of the page, h.cupsBytesPerLine bytes;
// the lines come in order.
PageResult AddRasterLine(RasterPage &page, const cups_page_header2_t &h, unsigned y,
                         const unsigned char *line);

// 'PrintRasterPage()' - Convert the page to dots, fitted to the paper when
// BeginRasterPage() found it larger, and send its copies through 'sink'. A
// page whose lines did not all arrive is not printed.
PageResult PrintRasterPage(RasterPage &page, const cups_page_header2_t &h, unsigned number,
                           const JobSettings &settings, unsigned copies, const EngineSink &sink);
