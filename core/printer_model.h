// The printer: a thermal label printer of 203 dots to the inch, across and
// along the paper, with a head of 832 dots (104 mm).
#pragma once

// Dots to the inch, across the head and along the paper.
inline constexpr int kDotsPerInch = 203;

// Dots to the metre, as a PNG or a length in millimetres reckons them:
// 7992, a metre rounded down to whole dots.
inline constexpr int kDotsPerMetre = kDotsPerInch * 10000 / 254;

// The dots of the head: a row of the page as the printer prints it.
inline constexpr unsigned kHeadDots = 832;

// The longest size of paper offered, 1 m, and the longest page printed,
// 5 m of paper: a receipt may run on past any size offered.
inline constexpr unsigned kLongestMediaRows = kDotsPerMetre;
inline constexpr unsigned kMaxPageRows = 5 * kLongestMediaRows;
