// An image placed on the label: where it lies on the page, how large, which
// way up, and the page's rows drawn from its pixels. Nothing here asks PAPPL
// for anything.
#pragma once

#include "page_bytes.h"
#include "working_image.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// A decoded image: 8-bit gray, 0 = black, rows top to bottom.
struct GrayImage {
  PageBytes pixels;
  int width = 0;
  int height = 0;
};

// How an image is sized for the page (the job's print-scaling).
enum class ImageScaling {
  AutoFit, // 'auto' and 'auto-fit': Fit when larger than the page or of
           // no known resolution, else None
  Fit,     // as large as the page takes it whole, centred
  Fill,    // as small as covers the whole page, centred, the rest cut off
  None,    // its own size at its resolution, centred, cut off at the edges
};

// Which way up the image is printed (the job's orientation-requested):
// turned counter-clockwise by a quarter turn (90), two (180) or three (270).
enum class ImageTurn { Auto, Deg0, Deg90, Deg180, Deg270 };

// The image on the page: its size on the page in dots after turning, and
// where its top left corner lies (negative when it is cut off there).
struct ImageLayout {
  int pageWidth = 0, pageHeight = 0;
  ImageTurn turn = ImageTurn::Deg0;
  int left = 0, top = 0;
  int width = 0, height = 0;
};

// 'LineBytes()' - From one line of the page to the next: the page as the
// engine converts it in place, one byte a dot and a white padding cell
// where its 3-byte rows need one.
inline size_t LineBytes(const ImageLayout &layout) { return InPlaceLineBytes(layout.pageWidth); }

// 'PlaceImage()' - Lay an image of 'width' x 'height' pixels at 'ppi'
// pixels per inch (0: unknown) on a page of 'pageWidth' x 'pageHeight' dots
// at 'dpi' dots per inch. Auto turns the image a quarter counter-clockwise
// when it is wider than tall and the page taller than wide, or the other
// way round. An image of unknown resolution is one pixel a dot for None.
ImageLayout PlaceImage(int pageWidth, int pageHeight, int dpi, int width, int height, int ppi,
                       ImageScaling scaling, ImageTurn turn);

// Where each dot of the page's image area takes its gray from: for a dot
// at (x, y) the pixels at rowAt[y] + columnAt[x] and, when 'smooth', at
// rowNext and columnNext, mixed by the weights (256ths of the next).
struct ImageSampler {
  ImageLayout layout;
  int x0 = 0, x1 = 0;  // the page columns the image covers
  int y0 = 0, y1 = 0;  // the page rows it covers
  bool direct = false; // upright and unscaled: each row is a run of pixels
  bool smooth = false;
  std::vector<int64_t> columnAt, columnNext, rowAt, rowNext; // by page column / row
  std::vector<uint16_t> columnWeight, rowWeight;
};

// 'MakeSampler()' - The sampler of an image laid out on the page: each dot
// takes the pixel under its centre, or with 'smooth' the mix of the four
// pixels around it (a JPEG photo scaled).
ImageSampler MakeSampler(const GrayImage &image, const ImageLayout &layout, bool smooth);

// 'DrawPageRow()' - Row y of the page in grays, 0 = black: the image where
// it lies, white paper around it and in the line's padding. 'row' is the
// page's line.
void DrawPageRow(const GrayImage &image, const ImageSampler &sampler, int y,
                 std::span<uint8_t> row);

// An image that lies upright, unscaled and whole on the page is decoded
// straight into the page's lines (LineBytes() apart):
// 'ImageInPlace()' says whether it does, 'ImageRow()' is where row y of
// its pixels goes, and 'PaperAroundImage()' makes the paper around them
// white.
bool ImageInPlace(const ImageLayout &layout, int width, int height);
uint8_t *ImageRow(const ImageLayout &layout, std::span<uint8_t> lines, int y);
void PaperAroundImage(const ImageLayout &layout, std::span<uint8_t> lines);
