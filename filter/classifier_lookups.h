// Per-row lookups of the edge-aware classifier over one page: the row-above
// run and the right scan's stop, found without walking the row.
//
// The classifier visits the page row by row from the top, so when row y is
// being decided, row y - 1 of the working image holds its final colours and
// the original copy never changes. Per row it keeps where the decided colour
// of the row above next changes, and prefix sums and range minimum/maximum of
// the grays of the row above and of the row itself.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "classifier_rules.h"
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
  // The lookups read the two buffers as the classifier rewrites them; they
  // must outlive this object and be visited in the classifier's order.
  ClassifierLookups(std::span<const uint8_t> pPixel, std::span<const uint8_t> pOrgPixel,
                    int nWidth);

  // 'FindRowAboveRun()' - The row-above run of pixel (x, y), y >= 1.
  RowAboveRun FindRowAboveRun(int x, int y);

  // 'FindRightScanStop()' - Where the right scan from pixel (x, y) with gray
  // P stops: the first cell k + 1 > x whose gray s is more than 30 from P or
  // above 234, for k while 3k < nWidth.
  ScanStop FindRightScanStop(int x, int y, int P);

private:
  RowGrays &Grays(int row);
  void BuildColourChanges(int row);

  std::span<const uint8_t> pPixel_, pOrgPixel_;
  int nWidth_;
  int nCells_;        // cells k with 3k < nWidth
  RowGrays grays_[2]; // rows of even and odd number
  int colourRow_ = -1;
  std::vector<int> nextChange_; // first later cell of another colour in colourRow_
};
