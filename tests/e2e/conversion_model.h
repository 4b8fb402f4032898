// What the filter must make of a gray (8-bit) or colour (24-bit) page, rebuilt
// plainly from the printer's rules, one pixel at a time: the four conversion
// modes, the packed page, the page dump and the lines they write to standard
// error. The printer model sends the packed page on like a 1-bit page.
#pragma once

#include <cups/raster.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace e2e {

// The page dump of every gray or colour page.
inline constexpr const char *kBmpDumpPath = "/tmp/ImageDithering.bmp";
// The raw lines of every gray page.
inline constexpr const char *kRawDumpPath = "/tmp/Buffer.data";

// The dump's trace with an open file, as the tests see it: the stream's
// identifier and the error text vary from run to run.
inline constexpr const char *kBmpOpenedLine =
    "ERROR: fopen ImageDithering.bmp ImageFile=<addr> err=<err>";

// The conversion mode of a gray page for the marked "Dithering" choice
// (nullptr when none is marked): 0 classifier, 1 threshold, 2 ordered dither,
// 3 error diffusion.
int DitheringMode(const std::string *choice);

struct ConvertedPage {
  int width = 0;
  int rows = 0;
  int stride = 0;                 // ((width + 31) / 32) * 4
  std::vector<uint8_t> packed;    // stride * rows bytes, 0 bits black, padding bits 1
  std::vector<uint8_t> bmp;       // the page dump
  std::vector<std::string> lines; // the intake's and the conversion's lines, dump line masked
  int mode = 0;
};

// The conversion of the first 'linesRead' raster lines of a page of 8 or 24
// bits per pixel; 'dithering' is the marked "Dithering" choice.
ConvertedPage ConvertPage(const cups_page_header2_t &h, std::span<const uint8_t> lines,
                          unsigned linesRead, const std::string *dithering);

} // namespace e2e
