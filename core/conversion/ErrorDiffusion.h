// The border classifier, the two passes that both dithers run first, and the
// error diffusion.
//
// All of these work on a working image: 3 bytes per pixel, 0 black to 255
// white, rows WorkingImageStride(width) bytes apart. The mean of a pixel is
// (byte 0 + byte 1 + byte 2) / 3.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

// 'WorkingImageStride()' - Bytes per row of a working image 'width' pixels
// wide: 3 bytes per pixel, rounded up to a multiple of 4.
size_t WorkingImageStride(int width);

// 'IsBorder()' - Tell whether pixel (x, y) is a mid-gray pixel on the border
// between a light and a dark area, and which way the light side lies:
//
//                  (x, y-1)
//      (x-1, y)  [ (x, y) ]  (x+1, y)
//                  (x, y+1)
//
//   -1  not a border pixel (mean 49 or less, 230 or more, or no case holds)
//    0  light left (above 229), dark right (99 or less)   1  ... and light above
//    2  light above (above 224), dark below               3  ... and light right
//    4  light right (above 224), dark left                5  ... and light below
//    6  light below (above 224), dark above
// The light-left test alone asks for a mean above 229. Only neighbours inside
// the nWidth x nHeight image are read; the stride is derived from nWidth.
int IsBorder(std::span<const uint8_t> pColorBuf, int x, int y, int nWidth, int nHeight);

// 'EdgePrePass()' - Snap mid-gray border pixels to black or white before a
// dither: a pixel of class 0 or 4 (not on the top row) takes the level of the
// pixel above, one of class 2 or 6 (not in column 0) that of the pixel to its
// left, plus nBrightness; above 150 is white, else black. Every class and
// level is read from the page as it was before the pass. nByteWidth must be
// WorkingImageStride(width). Instead of a copy of the page it holds back
// each row's decisions (two rows of them) until the row below has been
// classified. Returns false when that memory cannot be had; the page is
// then untouched.
bool EdgePrePass(std::span<uint8_t> pixels, int width, int height, int nByteWidth, int nBrightness);

// 'LuminancePass()' - Turn every colour pixel (three bytes not all equal) into
// its luminance 0.299 byte 2 + 0.587 byte 1 + 0.114 byte 0, truncated, plus
// nBrightness, clamped to 0..255. Gray pixels are left as they are.
void LuminancePass(std::span<uint8_t> pixels, int width, int height, int nByteWidth,
                   int nBrightness);

// 'PrepareForDither()' - The edge pre-pass and then the luminance pass, as
// both dithers run them, done row by row: 'rowDone(y)' is called as soon as
// row y has been through both passes, so that a dither can follow one row
// behind while the rows are still in the cache. The page comes out as
// EdgePrePass followed by LuminancePass leave it. Returns false (page
// untouched) when the scratch memory cannot be had.
bool PrepareForDither(std::span<uint8_t> pixels, int width, int height, int nByteWidth,
                      int nBrightness, const std::function<void(int)> &rowDone);

// 'DiffuseErrors()' - The diffusion step of ErrorDiffusion alone: every pixel
// becomes the nearer of black and white, left to right on every row, and its
// error goes in sixteenths to the neighbours not yet visited,
//
//                   [ (x, y) ]  7/16 right
//      3/16 below left   5/16 below   1/16 below right
//
// each share floored (arithmetic shift by 4). A neighbour receives its share
// only while its mean lies in 51..229 (right, below left) or 51..224 (below,
// below right); the pixel in column 1 gives nothing below left. Shares not
// given are lost.
void DiffuseErrors(std::span<uint8_t> pBits, int cx, int cy, int nByteWidth);

// 'ErrorDiffusion()' - Binarise the page in place: edge pre-pass, luminance
// pass, then DiffuseErrors. nByteWidth must be WorkingImageStride(cx).
// Returns false (page untouched) when the pre-pass's scratch memory cannot be
// had. 'rowFinal' (if any) is called with each row, top to bottom, as soon as
// its pixels are final, while the row is still in the cache.
bool ErrorDiffusion(std::span<uint8_t> pBits, int cx, int cy, int nByteWidth, int nLight,
                    const std::function<void(int)> &rowFinal = {});

// 'EdgePrePassCells()' - The edge pre-pass on a working image of one byte
// per pixel, all gray, rows 'stride' bytes apart (the luminance pass has
// nothing to do on such a page): the page comes out as EdgePrePass leaves
// the 3-byte rows. 'rowDone(y)' is called as soon as row y is through.
// Returns false (page untouched) when the scratch memory cannot be had.
bool EdgePrePassCells(std::span<uint8_t> cells, int width, int height, int stride, int nBrightness,
                      const std::function<void(int)> &rowDone);

// 'ErrorDiffusionCells()' - ErrorDiffusion on a working image of one byte
// per pixel, all gray, rows 'stride' bytes apart.
bool ErrorDiffusionCells(std::span<uint8_t> cells, int cx, int cy, int stride, int nLight,
                         const std::function<void(int)> &rowFinal);

// 'FindNearestColor()' - The palette colour nearest to 'color' (byte 0 in bits
// 16-23, byte 1 in bits 8-15, byte 2 in bits 0-7) by squared distance; the
// lower index wins a tie. The palette must not be empty.
uint32_t FindNearestColor(uint32_t color, std::span<const uint32_t> palette);

// 'PlusTruncate()' - a + b, clamped to 0..255.
uint8_t PlusTruncate(uint8_t a, int b);
