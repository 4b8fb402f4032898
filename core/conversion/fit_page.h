// A gray page larger than the paper, made to fit it: scaled down to the
// paper's width or length, whichever holds it, keeping its proportions, and
// centred on a page of the paper's size.
#pragma once

#include "page_bytes.h"

#include <cstddef>
#include <cstdint>
#include <span>

// 'FitGrayPage()' - The page of 'width' x 'height' pixels, one byte each,
// rows 'stride' apart, scaled down to fit 'paperWidth' x 'paperHeight' and
// centred there. Each new pixel is the mean of the pixels it covers; the
// page around the picture is 'paper', the value of a pixel without ink. The
// result has rows 'paperWidth' bytes apart. The page must be larger than the
// paper on at least one side.
PageBytes FitGrayPage(std::span<const uint8_t> pixels, size_t stride, int width, int height,
                      int paperWidth, int paperHeight, uint8_t paper);
