// The label printer's commands as bytes, for writing down the streams the
// tests expect from the filter or hand to labelpreview.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

namespace testsupport {

// Byte sequences one after another.
inline std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> all;
  for (const std::vector<uint8_t> &part : parts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

// The stream twice over.
inline std::vector<uint8_t> Twice(const std::vector<uint8_t> &stream) {
  return Cat({stream, stream});
}

// A GS v 0 band of 'height' rows of 'widthBytes' bytes, both sent low byte
// first; 'rows' is filled up with zero bytes.
inline std::vector<uint8_t> Band(unsigned widthBytes, unsigned height,
                                 std::vector<uint8_t> rows = {}) {
  rows.resize(size_t(widthBytes) * height, 0x00);
  return Cat({{0x1D, 0x76, 0x30, 0x00, uint8_t(widthBytes), uint8_t(widthBytes >> 8),
               uint8_t(height), uint8_t(height >> 8)},
              rows});
}

// The rows of every band the filter sends.
inline constexpr unsigned kBandRows = 24;

// A band of kBandRows rows, as the filter sends them; 'rows' is filled up
// with zero bytes.
inline std::vector<uint8_t> FullBand(unsigned widthBytes, std::vector<uint8_t> rows = {}) {
  return Band(widthBytes, kBandRows, std::move(rows));
}

// The filter's band for a group of white rows that has dots after it.
inline std::vector<uint8_t> BlankBand() { return FullBand(1); }

// An ESC J feed of 'dots' rows.
inline std::vector<uint8_t> Feed(uint8_t dots) { return {0x1B, 0x4A, dots}; }

// 'count' feeds of 255 rows.
inline std::vector<uint8_t> LongFeed(int count) {
  std::vector<uint8_t> feeds;
  for (int i = 0; i < count; ++i)
    feeds.insert(feeds.end(), {0x1B, 0x4A, 0xFF});
  return feeds;
}

// A GS V 0 cut.
inline const std::vector<uint8_t> kCut = {0x1D, 0x56, 0x00};

} // namespace testsupport
