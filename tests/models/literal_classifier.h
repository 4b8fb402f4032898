// The edge-aware classifier written out literally, for the differential tests:
// every pixel decided rule after rule on the working image of 3-byte pixels,
// every neighbour read at y * nWidth + 3 * x, the row-above run and the right
// scan walked cell by cell. It shares no code with the engine.
#pragma once

#include <cstdint>
#include <span>

namespace literal {

// How far the walks went, so that a test can show that its pages reach long
// runs and scans.
struct WalkStats {
  int longestRun = 0;
  int longestScan = 0;
  int rightScans = 0;
};

// The row-above run of pixel (x, y): its length and the sum of its grays.
struct Run {
  int length = 0;
  uint32_t sum = 0;
};

// Where the right scan from a pixel of gray P stopped: s the first clearly
// different gray, t the one before it.
struct Stop {
  bool bStopped = false;
  int s = 0, t = 0;
};

// 'RowAboveRun()' - From the pixel above (x, y) rightward while the decided
// colour stays that of the pixel above and the gray within 10 of its gray.
Run RowAboveRun(std::span<const uint8_t> pPixel, std::span<const uint8_t> pOrgPixel, int x, int y,
                int nWidth);

// 'RightScan()' - From pixel (x, y) rightward while the next gray is within
// 30 of P and at most 234.
Stop RightScan(std::span<const uint8_t> pOrgPixel, int x, int y, int nWidth, int P,
               WalkStats *stats = nullptr);

// 'ClassifyPixels()' - Decide every pixel of the cx x cy page whose three
// bytes average neither 0 nor 255, row by row, left to right. 'pvBits' holds
// rows of nBytePerRow bytes; 'pOrgPixel' is the page as it was, then white
// (at least one row and one pixel more).
void ClassifyPixels(std::span<uint8_t> pvBits, std::span<const uint8_t> pOrgPixel, int cx, int cy,
                    int nBytePerRow, WalkStats *stats = nullptr);

} // namespace literal
