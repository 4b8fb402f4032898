// The 3 x 3 ordered dither.
#pragma once

#include "working_image.h"

#include <functional>

// 'OrderedDither()' - Binarise a gray working image in place: the edge
// pre-pass with the lightness offset of nLight, then a 3 x 3 ordered dither
// over whole blocks whose origin lies strictly inside (height - 3) x
// (width - 3). In each block a pixel above 224 turns white, below 50 black,
// otherwise white only when above its matrix entry:
//
//       28  255   57
//      142  113  227
//      170  198   85
//
// Pixels outside every block (the last 1 to 3 rows and columns, or the whole
// page when it is 3 pixels or less in either direction) keep what the
// pre-pass left. 'rowFinal' (if any) is called with each row, top to bottom,
// as soon as its pixels are final. Throws std::bad_alloc when the passes'
// scratch memory (a few rows) cannot be had.
void OrderedDither(WorkingImage &image, int nLight, const std::function<void(int)> &rowFinal = {});
