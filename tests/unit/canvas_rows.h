// A gray canvas as text for the label drawing tests: one string per row,
// '#' a black dot, '.' a white one, '+' any gray.
#pragma once

#include "labels/gray_canvas.h"

#include <string>
#include <vector>

inline std::vector<std::string> CanvasRows(const labels::GrayCanvas &canvas) {
  std::vector<std::string> rows;
  for (int y = 0; y < canvas.height; ++y) {
    std::string row;
    for (int x = 0; x < canvas.width; ++x)
      row += canvas.At(x, y) == labels::kBlack   ? '#'
             : canvas.At(x, y) == labels::kWhite ? '.'
                                                 : '+';
    rows.push_back(row);
  }
  return rows;
}
