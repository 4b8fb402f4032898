// The Otsu threshold: one gray level per pixel, and the level that best splits
// the page into a dark and a light class.
#pragma once

#include <array>
#include <cstdint>
#include <span>

// 'Brightness()' - The lightness offset nBrightness for a lightness nLight
// (100 neutral): (100 - nLight) * 255 / 100, truncated toward zero. Computed
// in 64 bits and held within -255..255: a larger offset already drives every
// level to black or white, so the pixels come out the same.
int Brightness(int nLight);

// 'otsu()' - Rewrite every pixel of the working image to its gray level plus
// the lightness offset, and return the threshold (0..254) that best splits
// those levels: levels at or below it form the dark class.
//
// 'image' holds nImageHeight rows nImageWidth bytes apart (nImageWidth is the
// row stride in bytes). The pass walks each row in 3-byte groups as far as the
// stride allows, so a row's padding, where it forms a whole group, is
// converted and counted like a pixel. nPixelNum is the bits per pixel; the
// filter always passes 24 and a pixel is always 3 bytes.
int otsu(std::span<uint8_t> image, int nImageWidth, int nImageHeight, int nPixelNum, int nLight);

// 'OtsuThreshold()' - The threshold that best splits N levels counted by
// level in pixelCount: the search of otsu(); 0 when N is 0.
int OtsuThreshold(const std::array<uint64_t, 256> &pixelCount, uint64_t N);
