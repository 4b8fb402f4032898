// The paper as it comes out of the printer: the rows that the bands print
// and the feeds advance, cut into labels.
#pragma once

#include "stream_decoder.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace preview {

// One piece of paper: the commands from 'first' up to 'end' (not included),
// which ends with a cut or is the paper left after the last cut.
struct Label {
  size_t first = 0;
  size_t end = 0;
  uint64_t rows = 0; // rows of paper, feeds included
  bool cut = false;  // ends with a cut
};

// Width of the paper in bytes: the widest band of the stream, at least one
// byte, so that every label of a roll is drawn equally wide.
unsigned PaperWidthBytes(std::span<const Command> commands);

// The labels in the order they come out. A cut with no paper since the last
// cut (or since the start) makes no label.
std::vector<Label> SplitLabels(std::span<const Command> commands);

// Hands every row of the label's paper, from the first out, to 'row':
// 'widthBytes' bytes, leftmost dot in the top bit, 1 = dot. Bands narrower
// than the paper are padded with white; feeds are white rows. Stops early and
// returns false when 'row' returns false.
bool DrawLabel(std::span<const Command> commands, const Label &label, unsigned widthBytes,
               const std::function<bool(std::span<const uint8_t>)> &row);

} // namespace preview
