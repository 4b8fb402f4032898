// Lookups over the original grays of one row of cells.
#include "row_grays.h"

#include <algorithm>
#include <cstddef>

namespace {

// Stretches of one gray stepped over before the range table takes over: runs
// over paper, print and flat fills end within a few.
constexpr int kStretches = 8;

} // namespace

void RowGrays::Build(std::span<const uint8_t> rowOn, int row, int count) {
  row_ = row;
  count_ = count;
  levels_ = 1;
  while ((1 << levels_) <= count)
    ++levels_;
  built_ = 0;

  gray_.resize(count);
  nextOther_.resize(count);
  prefix_.resize(static_cast<size_t>(count) + 1);

  prefix_[0] = 0;
  for (int j = 0; j < count; ++j) {
    gray_[j] = static_cast<size_t>(j) < rowOn.size() ? rowOn[j] : 255;
    prefix_[j + 1] = prefix_[j] + gray_[j];
  }
  int next = count;
  for (int j = count - 1; j >= 0; --j) {
    nextOther_[j] = next;
    if (j > 0 && gray_[j - 1] != gray_[j])
      next = j;
  }
}

int RowGrays::FirstOutside(int from, int end, int lo, int hi) {
  int j = from;
  for (int stretch = 0; stretch < kStretches; ++stretch) {
    if (j >= end)
      return end;
    if (gray_[j] < lo || gray_[j] > hi)
      return j;
    j = nextOther_[j];
  }
  return FirstOutsideByTable(j, end, lo, hi);
}

// 'FirstOutsideByTable()' - Gallop with growing blocks while they stay inside
// lo .. hi, then close in with shrinking ones: each step adds a block only if
// all of it is inside.
int RowGrays::FirstOutsideByTable(int from, int end, int lo, int hi) {
  int j = from;
  int k = 0;
  while (k < levels_ && j + (1 << k) <= end && Inside(k, j, lo, hi)) {
    j += 1 << k;
    ++k;
  }
  while (k-- > 0)
    if (j + (1 << k) <= end && Inside(k, j, lo, hi))
      j += 1 << k;
  return j;
}

// 'BuildLevel()' - Levels up to 'level': level 0 is the row itself, level k
// joins two blocks of level k - 1. Entries whose block would run past the row
// are never asked for.
void RowGrays::BuildLevel(int level) {
  const int count = count_; // a local: the byte stores below could alias the member
  min_.resize(static_cast<size_t>(levels_) * count);
  max_.resize(static_cast<size_t>(levels_) * count);
  for (; built_ <= level; ++built_) {
    uint8_t *newLo = &min_[static_cast<size_t>(built_) * count];
    uint8_t *newHi = &max_[static_cast<size_t>(built_) * count];
    if (built_ == 0) {
      std::copy(gray_.begin(), gray_.end(), newLo);
      std::copy(gray_.begin(), gray_.end(), newHi);
      continue;
    }
    const int half = 1 << (built_ - 1);
    const int entries = count - 2 * half + 1;
    const uint8_t *lo = newLo - count;
    const uint8_t *hi = newHi - count;
    for (int j = 0; j < entries; ++j)
      newLo[j] = std::min(lo[j], lo[j + half]);
    for (int j = 0; j < entries; ++j)
      newHi[j] = std::max(hi[j], hi[j + half]);
  }
}
