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

// The steps of the conversion on the printer's working image, for the unit
// tests that compare the engine's passes with them.

// The working image: 3 bytes per pixel, rows 'stride' bytes apart, 0 black
// and 255 white. Every access is checked: a reconstruction that strays off
// the buffer throws instead of reading a neighbour's memory.
struct Image {
  int cx = 0;
  int cy = 0;
  int stride = 0;
  std::vector<uint8_t> bytes;

  uint8_t &Byte(long offset) { return bytes.at(size_t(offset)); }
  uint8_t &At(int x, int y, int b = 0) { return Byte(long(y) * stride + 3 * x + b); }
  int Mean(int x, int y) { return (At(x, y, 0) + At(x, y, 1) + At(x, y, 2)) / 3; }
  void Set(int x, int y, int level) { At(x, y, 0) = At(x, y, 1) = At(x, y, 2) = uint8_t(level); }
};

// The Otsu pass: every whole 3-byte group becomes its gray plus the
// lightness offset of nLight; returns the level that splits them best.
int Otsu(Image &image, int nLight);
// The edge pre-pass and the luminance pass that both dithers run first.
void PrePassAndLuminance(Image &image, int nBrightness);
// The two dithers, each after the two passes above.
void OrderedDither(Image &image, int nLight);
void ErrorDiffusion(Image &image, int nLight);
// The Otsu pass with nLight, then the edge-aware classifier.
void Classify(Image &image, int nLight);

} // namespace e2e
