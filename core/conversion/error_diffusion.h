// The error diffusion.
#pragma once

#include "working_image.h"

#include <functional>

// 'ErrorDiffusion()' - Binarise a gray working image in place: the edge
// pre-pass with the lightness offset of nLight, then every pixel becomes
// the nearer of black (0..127) and white (128..255), left to right on every
// row, and its error goes in sixteenths to the neighbours not yet visited,
//
//                        [ (x, y) ]   7/16 right
//      3/16 below left   5/16 below   1/16 below right
//
// each share floored (arithmetic shift by 4) and the sum clamped to 0..255.
// A neighbour receives its share only while its level lies in 51..229
// (right, below left) or 51..224 (below, below right); the pixel in column 1
// gives nothing below left. Shares not given are lost. 'rowFinal' (if any)
// is called with each row, top to bottom, as soon as its pixels are final.
// Throws std::bad_alloc when the pre-pass's scratch memory cannot be had.
void ErrorDiffusion(WorkingImage &image, int nLight, const std::function<void(int)> &rowFinal = {});
