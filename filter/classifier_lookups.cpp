// Per-row lookups of the edge-aware classifier.
#include "classifier_lookups.h"

#include <algorithm>
#include <cstddef>

ClassifierLookups::ClassifierLookups(std::span<const uint8_t> pPixel,
                                     std::span<const uint8_t> pOrgPixel, int nWidth)
    : pPixel_(pPixel), pOrgPixel_(pOrgPixel), nWidth_(nWidth), nCells_((nWidth + 2) / 3) {}

// 'Grays()' - The gray lookups of one row, built on first use. Rows y - 1 and
// y, the two a pixel of row y asks about, never share a slot. Each row holds
// one cell more than the row has, the cell right after its end, which the
// right scan reads as the last s.
RowGrays &ClassifierLookups::Grays(int row) {
  RowGrays &grays = grays_[row & 1];
  if (grays.Row() != row)
    grays.Build(pOrgPixel_, row, nWidth_, nCells_ + 1);
  return grays;
}

// 'BuildColourChanges()' - For every cell of row 'row' of the working image,
// the next cell to its right whose decided colour differs, or nCells_.
void ClassifierLookups::BuildColourChanges(int row) {
  colourRow_ = row;
  nextChange_.resize(nCells_);
  const uint8_t *colours = pPixel_.data() + static_cast<size_t>(row) * nWidth_;
  int next = nCells_;
  for (int c = nCells_ - 1; c >= 0; --c) {
    if (c + 1 < nCells_ && colours[3 * c] != colours[3 * (c + 1)])
      next = c + 1;
    nextChange_[c] = next;
  }
}

RowAboveRun ClassifierLookups::FindRowAboveRun(int x, int y) {
  // Row y - 1 is final once row y has started.
  if (colourRow_ != y - 1)
    BuildColourChanges(y - 1);
  RowGrays &above = Grays(y - 1);
  const int A = above.Gray(x);
  const int end = std::min(nextChange_[x], above.FirstOutside(x, nCells_, A - 10, A + 10));
  RowAboveRun run;
  run.nTotalColor = end - x;
  run.dwColor = above.Sum(x, end);
  return run;
}

ScanStop ClassifierLookups::FindRightScanStop(int x, int y, int P) {
  // The scan passes s = gray of cell k + 1 while |s - P| <= 30 and s <= 234,
  // for k = x, x + 1, ... while k < nCells_.
  RowGrays &row = Grays(y);
  const int j = row.FirstOutside(x + 1, nCells_ + 1, P - 30, std::min(P + 30, 234));
  ScanStop stop;
  if (j > nCells_)
    return stop;
  stop.bStopped = true;
  stop.s = row.Gray(j);
  stop.t = row.Gray(j - 1);
  return stop;
}
