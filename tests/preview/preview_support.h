// Shared by the preview tests: hand-made printer streams, pictures of dots
// (the pages sent to the filter, the paper expected from the printer, the
// paper labelpreview draws), a private folder and a run of the real filter.
#pragma once

#include "paper.h"
#include "stream_decoder.h"
#include "support/raster_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace previewtest {

using Bytes = std::vector<uint8_t>;

Bytes Cat(std::initializer_list<Bytes> parts);
// A GS v 0 band; 'rows' is filled up with zero bytes.
Bytes Band(unsigned widthBytes, unsigned height, Bytes rows);
Bytes Feed(uint8_t dots);
inline const Bytes kCut = {0x1D, 0x56, 0x00};

// A folder for one test's files, removed with them at the end.
class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;
  std::string Path(const std::string &name) const { return dir_ + "/" + name; }

private:
  std::string dir_;
};

// Row-major dots; true is a black dot.
struct Dots {
  int width = 0;
  int height = 0;
  std::vector<bool> dots;

  Dots() = default;
  Dots(int w, int h) : width(w), height(h), dots(size_t(w) * size_t(h)) {}
  bool At(int x, int y) const { return dots[size_t(y) * size_t(width) + size_t(x)]; }
  void Set(int x, int y, bool black = true) { dots[size_t(y) * size_t(width) + size_t(x)] = black; }
};

// Rows of 'bytes' bytes, leftmost dot in the top bit, 1 = black.
Dots FromRows(std::span<const uint8_t> bytes, int widthBytes);
std::vector<uint8_t> ToRows(const Dots &dots, int widthBytes);

// The labels of a well-formed stream as labelpreview draws them.
std::vector<Dots> DrawnLabels(std::span<const uint8_t> stream);

// The rows of 'dots' one under another.
Dots Stacked(const std::vector<Dots> &parts);

::testing::AssertionResult SameDots(const Dots &actual, const Dots &expected);

// The printer stream the real labelfilter writes for the pages, with a PPD
// whose options offer just the given choices, marked as defaults.
std::vector<uint8_t> FilterStream(const std::map<std::string, std::string> &marked,
                                  const std::vector<testsupport::RasterPage> &pages);

} // namespace previewtest
