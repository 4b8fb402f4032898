// The original grays that the classifier reads: either a whole copy of the
// page taken before the first decision, or only the few rows around the row
// being decided.
//
// A pixel of row y reads the original grays of rows y - 1, y and y + 1 (and,
// by the printer's flat addressing, the first cells of row y + 2 past the
// last column). The classifier writes nothing below row y, so the working
// image itself still holds the original grays from row y + 1 down; rows
// y - 1 and y are the only ones it must keep a copy of.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

struct OriginalRows {
  std::span<const uint8_t> cells; // rows first, first + 1, ... and what follows
  int first = 0;                  // the page row of cells[0]
  int rowCells = 0;               // cells a row

  // 'At()' - Cell c of row r, by flat addressing: c may run past the row.
  const uint8_t *At(int c, int r) const {
    return cells.data() + (static_cast<ptrdiff_t>(r - first) * rowCells + c);
  }

  // 'From()' - Row r and everything held after it; past the end of what is
  // held a cell reads 255, the white below the page.
  std::span<const uint8_t> From(int r) const {
    const size_t start = static_cast<size_t>(r - first) * static_cast<size_t>(rowCells);
    return start < cells.size() ? cells.subspan(start) : std::span<const uint8_t>();
  }
};
