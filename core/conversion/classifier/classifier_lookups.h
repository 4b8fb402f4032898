// Per-row lookups of the edge-aware classifier over one page: the row-above
// run and the right scan's stop, found without walking a whole row for every
// pixel.
//
// The classifier visits the page row by row from the top, so when row y is
// being decided, row y - 1 of the working image holds its final colours and
// the original copy never changes. The run above a pixel is found, in order:
//  - in the last long run found in the row, when the pixel is inside it and
//    has the same gray above: pixels of one gray side by side (a shaded
//    banner, one pixel per decision) share one run;
//  - in the first eight cells, which is where most runs end;
//  - by a walk, eight cells at a time, on copies of the row above, one byte
//    per cell;
//  - when the walks of a row have taken many times its length, from tables of
//    the row, built the first time a row needs them: where the decided colour
//    next changes, and prefix sums and range minimum/maximum of the grays.
// The right scan is walked cell by cell within the same allowance, then
// finished from the tables of its own row.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "classifier_rules.h"
#include "original_rows.h"
#include "row_grays.h"

// The row-above run of pixel (x, y): the pixels of row y - 1 from column x
// rightward that keep the colour of the pixel above and lie within 10 of its
// gray.
struct RowAboveRun {
  int nTotalColor = 0;  // run length N, at least 1
  uint32_t dwColor = 0; // sum of the run's grays (a 16-bit sum would wrap)
};

class ClassifierLookups {
public:
  // The lookups read the working image as the classifier rewrites it, and
  // the original grays held row by row, which must hold rows y - 1 to y + 1
  // whenever a pixel of row y asks (see SetOriginalRows()); both must outlive
  // this object and be visited in the classifier's order.
  ClassifierLookups(std::span<const uint8_t> pPixel, const OriginalRows &org, int nWidth);

  // 'SetOriginalRows()' - The original grays as they are held from now on.
  void SetOriginalRows(const OriginalRows &org) { org_ = org; }

  // 'FindRowAboveRun()' - The row-above run of pixel (x, y), y >= 1.
  RowAboveRun FindRowAboveRun(int x, int y) {
    // Row y - 1 is final once row y has started.
    const uint8_t *grays = GraysAbove(y);
    const int A = grays[x];
    // Inside the last run found, with its gray: the same end, as every cell of
    // the run has the colour of its first. The cells now left of x leave the sum.
    LastRun &last = lastRun_;
    if (last.row == y - 1 && last.A == A && last.from <= x && x < last.end) {
      for (; last.from < x; ++last.from)
        last.dwColor -= grays[last.from];
      return {last.end - x, last.dwColor};
    }
    return WalkRowAboveRun(x, y);
  }

  // 'FindRightScanStop()' - Where the right scan from pixel (x, y) with gray
  // P stops: the first cell k + 1 > x whose gray s is more than 30 from P or
  // above 234, for k while 3k < nWidth.
  ScanStop FindRightScanStop(int x, int y, int P);

private:
  // One row of a buffer, byte 0 of each cell and of the cell after the row,
  // copied on first use; 8 more bytes, so that a word may be read from any
  // cell.
  struct RowCopy {
    int row = -1;
    std::vector<uint8_t> cells;
  };
  void Copy(RowCopy &copy, std::span<const uint8_t> rowOn, int row);
  // The original grays and the decided colours of row y - 1, copied once a row.
  const uint8_t *GraysAbove(int y) {
    if (grayCopy_.row != y - 1)
      Copy(grayCopy_, org_.From(y - 1), y - 1);
    return grayCopy_.cells.data();
  }
  const uint8_t *ColoursAbove(int y) {
    if (colourCopy_.row != y - 1)
      Copy(colourCopy_,
           pPixel_.subspan(std::min(static_cast<size_t>(y - 1) * nCells_, pPixel_.size())), y - 1);
    return colourCopy_.cells.data();
  }

  RowAboveRun WalkRowAboveRun(int x, int y);
  RowGrays &Grays(int row);
  void BuildColourChanges(int row);
  int RunEndByTables(int x, int from, int y, int A);
  int WalkLimit(int y);

  std::span<const uint8_t> pPixel_;
  OriginalRows org_;
  int nCells_;        // cells a row: k with 3k < nWidth
  RowGrays grays_[2]; // rows of even and odd number
  int colourRow_ = -1;
  std::vector<int> nextChange_; // first later cell of another colour in colourRow_
  int walkRow_ = -1;            // the row of pixels whose walks walkLeft_ counts
  int walkLeft_ = 0;            // cells its walks may still take
  RowCopy colourCopy_;          // decided colours of the row above
  RowCopy grayCopy_;            // grays of the row above

  // The last row-above run found: cells from .. end - 1 of row 'row', all of
  // the colour of cell 'from' and within 10 of gray A; dwColor is their sum.
  struct LastRun {
    int row = -1;
    int A = 0;
    int from = 0, end = 0;
    uint32_t dwColor = 0;
  } lastRun_;
};
