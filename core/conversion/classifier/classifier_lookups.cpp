// Per-row lookups of the edge-aware classifier.
#include "classifier_lookups.h"

#include <algorithm>
#include <climits>
#include <cstddef>

#include "cell_words.h"

namespace {

// Cells that the runs and scans of one row may walk one by one, as a
// multiple of the row's cells, before the tables take over: on label pages
// most of them end within a few cells, and the tables would cost more to
// build than the walks. A row of many long runs, each walked to its end,
// would cost the square of its length.
constexpr int kWalksPerRow = 16;

} // namespace

ClassifierLookups::ClassifierLookups(std::span<const uint8_t> pPixel, const OriginalRows &org,
                                     int nWidth)
    : pPixel_(pPixel), org_(org), nCells_(RowCells(nWidth)) {}

// 'Grays()' - The gray lookups of one row, built on first use. Rows y - 1 and
// y, the two a pixel of row y asks about, never share a slot. Each row holds
// one cell more than the row has, the cell right after its end, which the
// right scan reads as the last s.
RowGrays &ClassifierLookups::Grays(int row) {
  RowGrays &grays = grays_[row & 1];
  if (grays.Row() != row)
    grays.Build(org_.From(row), row, nCells_ + 1);
  return grays;
}

// 'BuildColourChanges()' - For every cell of row 'row' of the working image,
// the next cell to its right whose decided colour differs, or nCells_.
void ClassifierLookups::BuildColourChanges(int row) {
  colourRow_ = row;
  nextChange_.resize(nCells_);
  const uint8_t *colours = pPixel_.data() + static_cast<size_t>(row) * nCells_;
  int next = nCells_;
  for (int c = nCells_ - 1; c >= 0; --c) {
    if (c + 1 < nCells_ && colours[c] != colours[c + 1])
      next = c + 1;
    nextChange_[c] = next;
  }
}

// 'Copy()' - Cells 0 .. nCells_ of row 'row' of a buffer, one byte each: the
// row and the cell right after it, by flat addressing, from 'rowOn', the row
// and what follows it. Past the end of the buffer a cell reads 255, the
// white below the page.
void ClassifierLookups::Copy(RowCopy &copy, std::span<const uint8_t> rowOn, int row) {
  copy.row = row;
  const size_t cells = static_cast<size_t>(nCells_) + 1;
  copy.cells.resize(cells + kWordCells, 255);
  const size_t count = std::min(cells, rowOn.size());
  if (count > 0)
    std::copy_n(rowOn.data(), count, copy.cells.data());
  std::fill(copy.cells.begin() + static_cast<ptrdiff_t>(count),
            copy.cells.begin() + static_cast<ptrdiff_t>(cells), 255);
}

// 'RunEndByTables()' - The end of the row-above run of pixel (x, y) with gray
// A above it, whose cells x .. from - 1 are known to belong to it.
int ClassifierLookups::RunEndByTables(int x, int from, int y, int A) {
  if (colourRow_ != y - 1)
    BuildColourChanges(y - 1);
  return std::min(nextChange_[x], Grays(y - 1).FirstOutside(from, nCells_, A - 10, A + 10));
}

// 'WalkLimit()' - Cells that a walk of row y may still take.
int ClassifierLookups::WalkLimit(int y) {
  if (walkRow_ != y) {
    walkRow_ = y;
    walkLeft_ = nCells_ < INT_MAX / kWalksPerRow ? kWalksPerRow * nCells_ : INT_MAX;
  }
  return walkLeft_;
}

// 'WalkRowAboveRun()' - The run above pixel (x, y) when it is not the last
// one found, walked on the copies of the row above.
RowAboveRun ClassifierLookups::WalkRowAboveRun(int x, int y) {
  const uint8_t *colours = ColoursAbove(y);
  const uint8_t *grays = grayCopy_.cells.data();
  const int A = grays[x];
  const int lo = std::max(A - 10, 0), hi = std::min(A + 10, 255);
  const uint64_t PreColors = kEveryByte * colours[x];

  // Most runs end within the first eight cells, which need no more.
  {
    const uint64_t cellGrays = LoadCells(grays + x);
    const uint64_t stops = NonZeroBytes(LoadCells(colours + x) ^ PreColors) |
                           BytesOutside(cellGrays, lo, hi) | (BytesFrom(nCells_ - x) & kTopBits);
    if (stops != 0) {
      const int N = FirstByte(stops);
      return {N, SumOfBytes(cellGrays & ~BytesFrom(N))};
    }
  }

  // Eight cells at a time: the run stops at the first of them of another
  // colour or more than 10 from A, or where the walk must end.
  const int walkEnd = x + std::min(nCells_ - x, WalkLimit(y));
  int end = x;
  uint32_t sum = 0;
  for (;;) {
    const uint64_t cellGrays = LoadCells(grays + end);
    const uint64_t stops = NonZeroBytes(LoadCells(colours + end) ^ PreColors) |
                           BytesOutside(cellGrays, lo, hi) | (BytesFrom(walkEnd - end) & kTopBits);
    if (stops != 0) {
      const int k = FirstByte(stops);
      sum += SumOfBytes(cellGrays & ~BytesFrom(k));
      end += k;
      break;
    }
    sum += SumOfBytes(cellGrays);
    end += kWordCells;
  }
  walkLeft_ -= end - x;
  if (end == walkEnd && end < nCells_) {
    // A long run: the tables give its end and sum.
    end = RunEndByTables(x, end, y, A);
    sum = Grays(y - 1).Sum(x, end);
  }
  lastRun_ = {y - 1, A, x, end, sum};
  return {end - x, sum};
}

ScanStop ClassifierLookups::FindRightScanStop(int x, int y, int P) {
  // The scan passes s = gray of cell k + 1 while |s - P| <= 30 and s <= 234,
  // for k = x, x + 1, ... while k < nCells_: s runs over cells x + 1 ..
  // nCells_, the cell right after the row included.
  const int lo = P - 30, hi = std::min(P + 30, 234);
  const int walkEnd = x + 1 + std::min(nCells_ - x, WalkLimit(y));
  const std::span<const uint8_t> row = org_.From(y);
  auto gray = [&](int j) { return static_cast<size_t>(j) < row.size() ? row[j] : 255; };
  int j = x + 1;
  while (j < walkEnd && gray(j) >= lo && gray(j) <= hi)
    ++j;
  walkLeft_ -= j - (x + 1);
  if (j == walkEnd && j <= nCells_)
    j = Grays(y).FirstOutside(j, nCells_ + 1, lo, hi);
  ScanStop stop;
  if (j > nCells_)
    return stop;
  stop.bStopped = true;
  stop.s = gray(j);
  stop.t = gray(j - 1);
  return stop;
}
