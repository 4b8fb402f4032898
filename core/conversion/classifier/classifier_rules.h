// The printer's rules for one gray pixel of the edge-aware classifier: what
// colour the pixel takes, given the original grays around it and the colours
// already decided above it and to its left.
#pragma once

#include "working_image.h"

#include <cstddef>
#include <cstdint>
#include <span>

// The pixel under decision (P) and what the rules read around it:
//
//            x-2   x-1    x    x+1   x+2
//   y-1                   A    AR    ARR      oA = decided colour of A
//   y        LL    L      P    R     RR       oL = decided colour of L
//   y+1                   B
//
// Grays come from the original copy, colours from the working image. Both
// hold one byte per cell: a cell for each 3-byte group of a row of nWidth
// bytes, and one for a last part group (its first byte). The printer reads
// every cell at y * nWidth + 3 * x with no correction at the row ends: the
// left of column 0 is the last whole cell of the row above, the right of the
// last column is the padding cell or the next row, and the row below the
// page reads 255 from the white after the original copy.
struct Neighbourhood {
  int x = 0, y = 0;
  int nWidth = 0;  // row stride in bytes of the printer's 3-byte rows
  int nHeight = 0; // rows of the page
  int last = 0;    // nWidth / 3 - 1, possibly a padding column
  int P = 0, A = 0, B = 0, L = 0, LL = 0, R = 0, RR = 0, AR = 0, ARR = 0;
  int oA = 0, oL = 0;
  int M = 0, N = 0; // mean gray and length of the row-above run
};

// 'LeftOfColumn0()' - Where the left neighbour of column 0 lies, from the
// pixel's cell: the last whole cell of the row above, which the printer's
// flat addressing reaches 3 bytes before the row's start.
inline ptrdiff_t LeftOfColumn0(int nWidth) { return -1 - (RowCells(nWidth) - nWidth / 3); }

// A decided colour and the rule that decided it. The rule names ("U7b.2",
// "DA10.5", "LT12.1") are the printer's own; 'post' names a DA post-rule or a
// step of the right scan that came after the rule, and 'color' is then the
// colour after it.
struct Decision {
  uint8_t color = 0;
  uint8_t ruleColor = 0; // the colour as the rule itself left it
  const char *rule = "";
  const char *post = nullptr;
  bool bRightScan = false; // LT12 decided: the right scan is still to run
};

// Where the right scan stopped: s is the first clearly different pixel to the
// right, t the pixel before it.
struct ScanStop {
  bool bStopped = false;
  int s = 0, t = 0;
};

// 'ReadNeighbourhood()' - Read P and its neighbours for pixel (x, y), whose
// cell is at 'org' in the original grays and at 'out' in the working image.
// M and N are left 0 for the caller to fill from the row-above run. Reads
// only cells the rules may use at this position, so nothing before either
// buffer.
inline Neighbourhood ReadNeighbourhood(const uint8_t *out, const uint8_t *org, int x, int y,
                                       int nWidth, int nHeight) {
  // Cell (x + i, y + j) of either buffer is at [i + j * cells] from here.
  const int cells = RowCells(nWidth);
  Neighbourhood n;
  n.x = x;
  n.y = y;
  n.nWidth = nWidth;
  n.nHeight = nHeight;
  n.last = nWidth / 3 - 1;
  n.P = org[0];
  n.B = org[cells];
  n.R = org[1];
  // Row 0 has nothing above it and nothing left of column 0.
  if (x >= 1 || y >= 1) {
    const ptrdiff_t left = x >= 1 ? -1 : LeftOfColumn0(nWidth);
    n.L = org[left];
    n.oL = out[left];
  }
  if (x >= 2)
    n.LL = org[-2];
  if (y >= 1) {
    n.A = org[-cells];
    n.oA = out[-cells];
    n.AR = org[1 - cells];
    n.ARR = org[2 - cells];
    n.RR = org[2];
  }
  return n;
}

// 'DecideTopRow()' - Rules T1 to T3 for a pixel of row 0.
Decision DecideTopRow(const Neighbourhood &n);

// 'DecideUpperNeighbour()' - Rules U1 to U8 for a pixel at least as close in
// gray to the pixel above as to the pixel below.
Decision DecideUpperNeighbour(const Neighbourhood &n);

// 'DecideLowerNeighbour()' - Rule sets DA (with its post-rules), DK and LT for
// a pixel closer in gray to the pixel below. When LT12 decides, the result has
// bRightScan set and the caller finishes it with ApplyRightScan().
Decision DecideLowerNeighbour(const Neighbourhood &n);

// 'ApplyRightScan()' - The right scan after LT12: a pixel that is clearly
// different from the first unlike pixel to its right may turn white.
Decision ApplyRightScan(Decision d, const Neighbourhood &n, ScanStop stop);
