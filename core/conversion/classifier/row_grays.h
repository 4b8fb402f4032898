// Lookups over the original grays of one row of cells, so the classifier can
// sum a run of like grays or find where it ends without walking it cell by
// cell: prefix sums, the next cell of another gray, and a range
// minimum/maximum table.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

class RowGrays {
public:
  // 'Build()' - Take cells 0 .. count - 1 of row 'row' of the original grays
  // from 'rowOn', the row and what follows it, read by flat addressing
  // (cells past the row end are the next row's). A cell past the end of the
  // buffer reads 255, the colour of the area below the page.
  void Build(std::span<const uint8_t> rowOn, int row, int count);

  int Row() const { return row_; }
  int Gray(int j) const { return gray_[j]; }

  // Sum of the grays of cells from .. end - 1.
  uint32_t Sum(int from, int end) const { return prefix_[end] - prefix_[from]; }

  // 'FirstOutside()' - The first cell j in from .. end - 1 whose gray lies
  // outside lo .. hi, or end if there is none. Steps over stretches of one
  // gray; a run of many such stretches is searched in the range table, which
  // is built for the row on first use. O(log(j - from)) at worst.
  int FirstOutside(int from, int end, int lo, int hi);

private:
  int FirstOutsideByTable(int from, int end, int lo, int hi);
  bool Inside(int level, int j, int lo, int hi) {
    if (level >= built_)
      BuildLevel(level);
    size_t at = static_cast<size_t>(level) * count_ + j;
    return min_[at] >= lo && max_[at] <= hi;
  }
  void BuildLevel(int level);

  int row_ = -1;
  int count_ = 0;
  std::vector<uint8_t> gray_;
  std::vector<int> nextOther_;   // the next cell whose gray differs, or count_
  std::vector<uint32_t> prefix_; // prefix_[j] = sum of cells 0 .. j - 1
  // Level k of the range table holds, for every j, the min and max of cells
  // j .. j + 2^k - 1. Levels are built as a search first needs them.
  int levels_ = 0; // levels the row can have: 2^(levels_ - 1) <= count_
  int built_ = 0;  // levels built so far
  std::vector<uint8_t> min_, max_;
};
