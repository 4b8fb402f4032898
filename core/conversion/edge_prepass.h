// The edge pre-pass that both dithers run first.
#pragma once

#include "working_image.h"

#include <functional>

// 'EdgePrePass()' - Snap the mid-gray border pixels of a gray working image
// to black or white before a dither: a pixel of class 0 or 4 (IsBorder; not
// on the top row) takes the level of the pixel above, one of class 2 or 6
// (not in column 0) that of the pixel to its left, plus nBrightness; above
// 150 is white, else black. Every class and level is read from the page as
// it was before the pass. 'rowDone(y)' (if any) is called as soon as row y
// is through, top to bottom, so that a dither can follow one row behind.
// Throws std::bad_alloc when its scratch memory (three rows)
// cannot be had.
void EdgePrePass(WorkingImage &image, int nBrightness,
                 const std::function<void(int)> &rowDone = {});
