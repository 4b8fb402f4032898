// The Otsu pass: one gray level per pixel, and the level that best splits
// the page into a dark and a light class.
#pragma once

#include "working_image.h"

#include <array>
#include <cstdint>

// 'Brightness()' - The lightness offset nBrightness for a lightness nLight
// (100 neutral): (100 - nLight) * 255 / 100, truncated toward zero. Computed
// in 64 bits and held within -255..255: a larger offset already drives every
// level to black or white, so the pixels come out the same.
int Brightness(int nLight);

// 'LightnessLevels()' - What each gray 0..255 becomes with the lightness
// offset of nLight: the gray plus Brightness(nLight), clamped to 0..255.
std::array<uint8_t, 256> LightnessLevels(int nLight);

// 'otsu()' - Rewrite every whole cell of the working image (the pixels and
// a row's whole padding groups, not a last part group) to its gray plus the
// lightness offset of nLight, and return the threshold (0..254) that best
// splits those levels: levels at or below it form the dark class.
int otsu(WorkingImage &image, int nLight);
