// The 3 x 3 ordered dither.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

// 'OrderedDither()' - Binarise the page in place: the edge pre-pass, the
// luminance pass, then a 3 x 3 ordered dither over whole blocks whose origin
// lies strictly inside (height - 3) x (width - 3). In each block a pixel whose
// byte 0 is above 224 turns white, below 50 black, otherwise white only when
// above its matrix entry:
//
//       28  255   57
//      142  113  227
//      170  198   85
//
// Pixels outside every block (the last 1 to 3 rows and columns, or the whole
// page when it is 3 pixels or less in either direction) keep what the first
// two passes left. nByteWidth must be WorkingImageStride(width). Returns false
// (page untouched) when the pre-pass's scratch memory cannot be had.
// 'rowFinal' (if any) is called with each row, top to bottom, as soon as its
// pixels are final, while the row is still in the cache.
bool OrderedDither(std::span<uint8_t> pixels, int width, int height, int nByteWidth, int nLight,
                   const std::function<void(int)> &rowFinal = {});

// 'OrderedDitherCells()' - OrderedDither on a working image of one byte per
// pixel, all gray, rows 'stride' bytes apart.
bool OrderedDitherCells(std::span<uint8_t> cells, int width, int height, int stride, int nLight,
                        const std::function<void(int)> &rowFinal);
