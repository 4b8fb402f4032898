// The edge-aware pixel classifier: decides each gray pixel of the working
// image from its neighbours.
#pragma once

#include <cstdint>
#include <span>

// 'ClassifyPixels()' - Visit the pixels of the working image row by row, left
// to right, and let the classifier decide every pixel that is neither 0 nor
// 255. 'pvBits' is the working image after the Otsu pass (rewritten in place),
// 'pOrgPixel' the read-only original copy (2 x nBytePerRow x cy bytes, the
// second half 255).
void ClassifyPixels(std::span<uint8_t> pvBits, std::span<const uint8_t> pOrgPixel, int cx,
                    int cy, int nBytePerRow);
