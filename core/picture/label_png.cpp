#include "label_png.h"

#include <algorithm>
#include <new>

namespace preview {

namespace {

// The dots of a label, rows of 'stride' bytes, leftmost dot in the top bit,
// 1 = dot.
struct Dots {
  size_t width = 0;
  size_t height = 0;
  size_t stride = 0;
  std::vector<uint8_t> bits;

  Dots(size_t w, size_t h) : width(w), height(h), stride((w + 7) / 8), bits(stride * h) {}
  bool At(size_t x, size_t y) const { return (bits[y * stride + x / 8] >> (7 - x % 8)) & 1; }
  void Set(size_t x, size_t y) { bits[y * stride + x / 8] |= uint8_t(0x80 >> (x % 8)); }
};

// 'TurnedClockwise()' - The dots turned clockwise by 1 to 3 quarter turns.
// A quarter turn takes the top left dot to the top right, the left column to
// the top row.
Dots TurnedClockwise(const Dots &paper, int quarterTurns) {
  const size_t w = paper.width, h = paper.height;
  Dots turned = quarterTurns == 2 ? Dots(w, h) : Dots(h, w);
  for (size_t y = 0; y < turned.height; ++y)
    for (size_t x = 0; x < turned.width; ++x) {
      const bool dot = quarterTurns == 1   ? paper.At(y, h - 1 - x)
                       : quarterTurns == 2 ? paper.At(w - 1 - x, h - 1 - y)
                                           : paper.At(w - 1 - y, x);
      if (dot)
        turned.Set(x, y);
    }
  return turned;
}

// 'EncodeLabel()' - The label's rows into the picture, turned as asked.
bool EncodeLabel(PngEncoder &png, std::span<const Command> commands, const Label &label,
                 unsigned widthBytes, int quarterTurns) {
  const auto write = [&png](std::span<const uint8_t> row) { return png.Row(row.data()); };
  if (quarterTurns == 0)
    return png.Start(widthBytes * 8, static_cast<unsigned>(label.rows), 1, true) &&
           DrawLabel(commands, label, widthBytes, write);

  // Turned, the picture needs the whole label first.
  Dots paper(size_t{widthBytes} * 8, label.rows);
  uint8_t *next = paper.bits.data();
  DrawLabel(commands, label, widthBytes, [&next](std::span<const uint8_t> row) {
    next = std::copy(row.begin(), row.end(), next);
    return true;
  });
  const Dots turned = TurnedClockwise(paper, quarterTurns);
  if (!png.Start(static_cast<unsigned>(turned.width), static_cast<unsigned>(turned.height), 1,
                 true))
    return false;
  for (size_t y = 0; y < turned.height; ++y)
    if (!png.Row(turned.bits.data() + y * turned.stride))
      return false;
  return true;
}

} // namespace

LabelPng EncodeLabelPng(std::span<const Command> commands, const Label &label, unsigned widthBytes,
                        int quarterTurns) {
  if (label.rows > kMostPictureRows)
    return {{},
            "the label is " + std::to_string(label.rows) + " rows long; a picture holds at most " +
                std::to_string(kMostPictureRows)};
  try {
    PngEncoder png;
    if (EncodeLabel(png, commands, label, widthBytes, quarterTurns % 4))
      if (std::optional<std::vector<uint8_t>> bytes = png.Finish())
        return {std::move(*bytes), ""};
  } catch (const std::bad_alloc &) {
    return {{}, "not enough memory for the picture"};
  }
  return {{}, "the picture cannot be made"};
}

} // namespace preview
