// What a page may be: the page the head prints as it comes, and the largest
// raster the front ends take, which may be far wider than the head.
#pragma once

#include "printer_model.h"

#include <cstdint>

// The largest raster the CUPS filter takes, and the largest gray page the
// printer application fits to the paper. The head is kHeadDots wide and
// the longest size offered 1 m (kLongestMediaRows): 6.6 million pixels. The
// limits leave room far beyond that and keep the memory a page needs to
// about 420 MiB at most: a gray page needs about 2 bytes per pixel (its
// lines, which become its working image) and a colour page about 5 (its
// lines and a working image of one byte per pixel), a 1-bit page about 4
// bytes per byte of its lines.
//
// The widest raster: 16384 dots is 80 inches at 203 dpi, and keeps every
// row within a GS v 0 band header.
inline constexpr unsigned kMaxRasterWidth = 16384;
// The longest raster line taken, padding included.
inline constexpr unsigned kMaxBytesPerLine = 65535;
// The most pixels of a raster: 2^25, room for the longest page across the
// whole head.
inline constexpr uint64_t kMaxRasterPixels = uint64_t{1} << 25;
static_assert(kMaxRasterPixels >= uint64_t{kHeadDots} * kMaxPageRows);
// The most raster data of a page, padding included: a colour page at the
// pixel limit.
inline constexpr uint64_t kMaxRasterBytes = 3 * kMaxRasterPixels;
// The most copies of a page the filter prints, as many as CUPS allows a job
// by default.
inline constexpr unsigned kMaxCopies = 9999;
