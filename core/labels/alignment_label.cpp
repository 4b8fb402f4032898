// The alignment label: a frame, corner marks and millimetre ticks along the
// edges, numbers beside every 10 mm, and the page size in the middle.
#include "labels/maintenance_labels.h"

#include "labels/bitmap_font.h"
#include "labels/label_text.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

namespace labels {
namespace {

// 'MillimetreDot()' - The dot k millimetres from the page's edge:
// round(k * dpi / 25.4) = round(k * 10 * dpi / 254).
int MillimetreDot(int k) { return int((int64_t(k) * 20 * kDotsPerInch + 254) / 508); }

constexpr int kNumberScale = 2;
constexpr int kDigitRows = 7 * kNumberScale; // digits have no tails
constexpr int kNumberInset = kTenMillimetreTickLength + 6;
constexpr int kMiddleInset = 64; // the middle text keeps clear of ticks and numbers

// 'TickLength()' - 24 dots at every 10 mm, 16 at every 5, else 8.
int TickLength(int k) {
  if (k % 10 == 0)
    return kTenMillimetreTickLength;
  if (k % 5 == 0)
    return kFiveMillimetreTickLength;
  return kMillimetreTickLength;
}

// 'DrawCornerMarks()' - An L in each corner of the frame, on dots 3 to 5,
// one white dot inside the frame.
void DrawCornerMarks(GrayCanvas &canvas) {
  const int w = canvas.width;
  const int h = canvas.height;
  const int in = kCornerMarkInset;
  const int arm = std::min({kCornerMarkLength, (w - 2 * in) / 2, (h - 2 * in) / 2});
  const int t = kCornerMarkThickness;
  if (arm < t)
    return;
  const int right = w - in - arm;           // first column of a right-hand arm
  const int lower = h - in - arm;           // first row of a lower arm
  FillRect(canvas, in, in, arm, t, kBlack); // top left
  FillRect(canvas, in, in, t, arm, kBlack);
  FillRect(canvas, right, in, arm, t, kBlack); // top right
  FillRect(canvas, w - in - t, in, t, arm, kBlack);
  FillRect(canvas, in, h - in - t, arm, t, kBlack); // bottom left
  FillRect(canvas, in, lower, t, arm, kBlack);
  FillRect(canvas, right, h - in - t, arm, t, kBlack); // bottom right
  FillRect(canvas, w - in - t, lower, t, arm, kBlack);
}

// 'DrawTicks()' - A tick at every millimetre along each edge.
void DrawTicks(GrayCanvas &canvas) {
  const int w = canvas.width;
  const int h = canvas.height;
  for (int k = 0; MillimetreDot(k) < w; ++k) {
    const int x = MillimetreDot(k);
    VerticalLine(canvas, x, 0, TickLength(k));
    VerticalLine(canvas, x, h - TickLength(k), TickLength(k));
  }
  for (int k = 0; MillimetreDot(k) < h; ++k) {
    const int y = MillimetreDot(k);
    HorizontalLine(canvas, 0, y, TickLength(k));
    HorizontalLine(canvas, w - TickLength(k), y, TickLength(k));
  }
}

// 'DrawMillimetreNumbers()' - "10", "20", ... beside the 10 mm ticks: below
// the top ticks and above the bottom ones in the page's upper and lower
// halves, right of the left ticks and left of the right ones in its left and
// right halves, each only where all of it stays clear of the tick bands.
void DrawMillimetreNumbers(GrayCanvas &canvas) {
  const int w = canvas.width;
  const int h = canvas.height;
  const bool topAndBottom = kNumberInset + kDigitRows <= h / 2;
  for (int k = 10; topAndBottom && MillimetreDot(k) < w; k += 10) {
    const std::string number = std::to_string(k);
    const int width = TextWidth(number, kNumberScale);
    const int x = MillimetreDot(k) - width / 2;
    if (x < kNumberInset || x + width > w - kNumberInset)
      continue;
    DrawText(canvas, x, kNumberInset, number, kNumberScale);
    DrawText(canvas, x, h - kNumberInset - kDigitRows, number, kNumberScale);
  }
  for (int k = 10; MillimetreDot(k) < h; k += 10) {
    const std::string number = std::to_string(k);
    const int width = TextWidth(number, kNumberScale);
    const int y = MillimetreDot(k) - kDigitRows / 2;
    if (kNumberInset + width > w / 2 || y < kNumberInset || y + kDigitRows > h - kNumberInset)
      continue;
    DrawText(canvas, kNumberInset, y, number, kNumberScale);
    DrawText(canvas, w - kNumberInset - width, y, number, kNumberScale);
  }
}

// 'DrawMiddleText()' - What the label shows, centred in the middle of the
// page: the lines at the largest scale up to 3 at which all of them fit, the
// title one larger; a line that fits no scale, and the lines that no longer
// fit below the others, left out.
void DrawMiddleText(GrayCanvas &canvas) {
  const int w = canvas.width;
  const int h = canvas.height;
  const int width = w - 2 * kMiddleInset;
  const int height = h - 2 * kMiddleInset;
  if (width <= 0 || height <= 0)
    return;
  const std::string title = "Alignment";
  const std::string wanted[] = {
      std::to_string(w) + " x " + std::to_string(h) + " dots",
      Tenths(TenthsOfMillimetre(w)) + " x " + Tenths(TenthsOfMillimetre(h)) + " mm" + Dpi(),
      "Frame 1 dot inside each edge",
      "Ticks every mm from top left",
      "long at 5 mm, longer at 10",
  };
  int scale = 3;
  for (const std::string &line : wanted)
    if (FitScale(line, 3, width) > 0)
      scale = std::min(scale, FitScale(line, 3, width));

  struct Line {
    std::string_view text;
    int scale;
  };
  std::vector<Line> lines;
  int rows = 0;
  auto add = [&](std::string_view text, int lineScale) {
    const int lineRows = (lines.empty() ? 0 : 3 * lines.back().scale) + TextHeight(lineScale);
    if (TextWidth(text, lineScale) > width || rows + lineRows > height)
      return false;
    lines.push_back({text, lineScale});
    rows += lineRows;
    return true;
  };
  add(title, std::max(FitScale(title, scale + 1, width), 1));
  for (const std::string &line : wanted)
    if (TextWidth(line, scale) <= width && !add(line, scale))
      break;

  int y = kMiddleInset + (height - rows) / 2;
  for (const Line &line : lines) {
    DrawText(canvas, (w - TextWidth(line.text, line.scale)) / 2, y, line.text, line.scale);
    y += LinePitch(line.scale);
  }
}

} // namespace

// 'DrawAlignmentLabel()' - Frame, corner marks, ticks, numbers, middle text.
GrayCanvas DrawAlignmentLabel(int widthDots, int heightDots) {
  GrayCanvas canvas = WhiteCanvas(widthDots, heightDots);
  if (canvas.width == 0)
    return canvas;
  Frame(canvas, 1, 1, canvas.width - 2, canvas.height - 2);
  DrawCornerMarks(canvas);
  DrawTicks(canvas);
  DrawMillimetreNumbers(canvas);
  DrawMiddleText(canvas);
  return canvas;
}

} // namespace labels
