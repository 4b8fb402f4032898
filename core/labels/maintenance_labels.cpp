// The self-test label and the alignment label: plain layout from the top of
// the page down, each part drawn only when all of it fits.
#include "labels/maintenance_labels.h"

#include "labels/bitmap_font.h"
#include "labels/code128.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

namespace labels {
namespace {

constexpr int kPartGap = 16; // white rows between the parts of a label
constexpr int kLadderPatchHeight = 48;
constexpr int kBarcodeHeight = 64; // 8 mm of bars
constexpr int kCheckerGap = 16;    // white columns between two checkerboards

// 'Tenths()' - "104.1" for 1041 tenths.
std::string Tenths(int64_t tenths) {
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

// 'TenthsOfMillimetre()' - round(dots * 25.4 / dpi * 10) = round(dots * 254 / dpi).
int64_t TenthsOfMillimetre(int dots) {
  return (int64_t(dots) * 2 * 254 + kDotsPerInch) / (2 * kDotsPerInch);
}

// 'MillimetreDot()' - The dot k millimetres from the page's edge:
// round(k * dpi / 25.4) = round(k * 10 * dpi / 254).
int MillimetreDot(int k) { return int((int64_t(k) * 20 * kDotsPerInch + 254) / 508); }

// 'Dpi()' - ", 203 dpi": the printer's resolution as a label names it.
std::string Dpi() { return ", " + std::to_string(kDotsPerInch) + " dpi"; }

// 'LadderGray()' - The gray level of p % black: 255 - round(p * 255 / 100).
uint8_t LadderGray(int percent) { return uint8_t(255 - (percent * 255 + 50) / 100); }

// 'FitScale()' - The largest scale up to maxScale at which 'text' fits in
// 'width' dots; 0 when it does not fit even at scale 1.
int FitScale(std::string_view text, int maxScale, int width) {
  for (int scale = maxScale; scale >= 1; --scale)
    if (TextWidth(text, scale) <= width)
      return scale;
  return 0;
}

// 'LinePitch()' - Rows from one line of text to the next.
constexpr int LinePitch(int scale) { return TextHeight(scale) + 3 * scale; }

// The rows still free on a label, the columns its parts may use, the scale
// of their text, and whether a part was left out for want of rows.
struct Column {
  GrayCanvas &canvas;
  int left = 0;
  int width = 0;
  int y = 0;      // the next free row
  int bottom = 0; // the first row that must stay free
  int scale = 2;
  bool leftOut = false;

  // 'Fits()' - Whether 'rows' more rows fit; if not, something is left out.
  bool Fits(int rows) {
    leftOut |= rows > bottom - y;
    return rows <= bottom - y;
  }
};

// 'TextLine()' - Draw one line at the largest scale up to maxScale that fits
// the column, or at scale 1 cut to the glyphs that fit. Returns false, and
// draws nothing, when the line's rows do not fit.
bool TextLine(Column &column, std::string_view text, int maxScale, int indent = 0) {
  const int width = column.width - indent;
  int scale = FitScale(text, maxScale, width);
  if (scale == 0) {
    scale = 1;
    text = text.substr(0, size_t(GlyphsThatFit(width, 1)));
  }
  if (text.empty() || !column.Fits(TextHeight(scale)))
    return false;
  DrawText(column.canvas, column.left + indent, column.y, text, scale);
  column.y += LinePitch(scale);
  return true;
}

// 'HeadingScale()' - Headings are drawn at the text's scale, smaller on a
// narrow column.
int HeadingScale(const Column &column, std::string_view text) {
  return std::max(FitScale(text, column.scale, column.width), 1);
}

// 'HeadingRows()' - A heading's text, 2 white rows, a one-dot rule across
// the column and 5 white rows.
constexpr int HeadingRows(int scale) { return TextHeight(scale) + 8; }

// 'Heading()' - Draw a part's name over a rule across the column.
void Heading(Column &column, std::string_view text) {
  const int scale = HeadingScale(column, text);
  text = text.substr(0, size_t(GlyphsThatFit(column.width, scale)));
  DrawText(column.canvas, column.left, column.y, text, scale);
  HorizontalLine(column.canvas, column.left, column.y + TextHeight(scale) + 2, column.width);
  column.y += HeadingRows(scale);
}

// 'DrawRulers()' - The one-dot edges of the page and their ticks.
void DrawRulers(GrayCanvas &canvas) {
  const int w = canvas.width;
  const int h = canvas.height;
  HorizontalLine(canvas, 0, 0, w);
  HorizontalLine(canvas, 0, h - 1, w);
  VerticalLine(canvas, 0, 0, h);
  VerticalLine(canvas, w - 1, 0, h);
  for (int x = 0; x < w; x += kRulerTickSpacing) {
    const int length = x % kRulerLongTickSpacing == 0 ? kRulerLongTickLength : kRulerTickLength;
    VerticalLine(canvas, x, 0, length);
    VerticalLine(canvas, x, h - length, length);
  }
  for (int y = 0; y < h; y += kRulerTickSpacing) {
    const int length = y % kRulerLongTickSpacing == 0 ? kRulerLongTickLength : kRulerTickLength;
    HorizontalLine(canvas, 0, y, length);
    HorizontalLine(canvas, w - length, y, length);
  }
}

// 'DrawTitle()' - The printer's name, what the label is and the page size.
void DrawTitle(Column &column, const std::string &printerName) {
  const int width = column.canvas.width;
  const int height = column.canvas.height;
  bool drawn = false;
  const int scale = column.scale;
  if (!printerName.empty())
    drawn |= TextLine(column, printerName, scale + 1);
  drawn |= TextLine(column, "Self-test label" + Dpi(), scale);
  drawn |=
      TextLine(column, std::to_string(width) + " x " + std::to_string(height) + " dots", scale);
  drawn |= TextLine(column,
                    Tenths(TenthsOfMillimetre(width)) + " x " + Tenths(TenthsOfMillimetre(height)) +
                        " mm",
                    scale);
  if (drawn)
    column.y += kPartGap;
}

// 'DrawSettings()' - "name: value" per setting; a line too long for the
// column is split after the colon, the value indented below. The list stops
// at the first setting that does not fit.
void DrawSettings(Column &column, const std::vector<Setting> &settings) {
  const std::string_view heading = "Settings";
  const int scale = column.scale;
  if (!column.Fits(HeadingRows(HeadingScale(column, heading)) + TextHeight(scale)))
    return;
  Heading(column, heading);
  if (settings.empty())
    TextLine(column, "none", scale);
  for (const Setting &setting : settings) {
    const std::string value = setting.value ? *setting.value : "printer's own";
    const std::string line = setting.name + ": " + value;
    if (FitScale(line, scale, column.width) == scale) {
      if (!TextLine(column, line, scale))
        break;
      continue;
    }
    if (!column.Fits(LinePitch(scale) + TextHeight(scale)))
      break;
    TextLine(column, setting.name + ":", scale);
    TextLine(column, value, scale, 2 * kGlyphAdvance * scale);
  }
  column.y += kPartGap;
}

// 'DrawLadder()' - 11 patches side by side, 0 to 100 % black, inside a one-dot
// frame, each numbered below. Patches are at most 64 dots wide and at least 8.
void DrawLadder(Column &column) {
  const int patch = std::min((column.width - 2) / 11, 64);
  if (patch < 8) {
    column.leftOut = true;
    return;
  }
  const int numberScale = FitScale("100", column.scale, patch);
  const int numberRows = numberScale ? 4 + TextHeight(numberScale) : 0;
  const std::string_view heading = "Gray ladder, % black";
  const int rows = kLadderPatchHeight + 2 + numberRows;
  if (!column.Fits(HeadingRows(HeadingScale(column, heading)) + rows))
    return;
  Heading(column, heading);

  const int ladderWidth = 11 * patch + 2;
  const int left = column.left + (column.width - ladderWidth) / 2;
  Frame(column.canvas, left, column.y, ladderWidth, kLadderPatchHeight + 2);
  for (int i = 0; i <= 10; ++i) {
    const int x = left + 1 + i * patch;
    FillRect(column.canvas, x, column.y + 1, patch, kLadderPatchHeight, LadderGray(10 * i));
    if (numberScale) {
      const std::string number = std::to_string(10 * i);
      DrawText(column.canvas, x + (patch - TextWidth(number, numberScale)) / 2,
               column.y + kLadderPatchHeight + 2 + 4, number, numberScale);
    }
  }
  column.y += rows + kPartGap;
}

// 'DrawCheckerboards()' - Three squares of checkerboard, of 1, 2 and 4 dot
// squares, each board's top left square black; 32 dots on a side per step
// of the text's scale plus one (128 beside text at scale 3, 96 at 2) or, where
// three of those do not fit the column, the largest multiple of 32 that does.
void DrawCheckerboards(Column &column) {
  int side = 0;
  for (int candidate = 32 * (column.scale + 1); candidate >= 32; candidate -= 32)
    if (3 * candidate + 2 * kCheckerGap <= column.width) {
      side = candidate;
      break;
    }
  if (side == 0) {
    column.leftOut = true;
    return;
  }
  const int nameScale = FitScale("4 dots", column.scale, side);
  const int nameRows = nameScale ? 4 + TextHeight(nameScale) : 0;
  const std::string_view heading = "Checkerboards";
  if (!column.Fits(HeadingRows(HeadingScale(column, heading)) + side + nameRows))
    return;
  Heading(column, heading);

  const int left = column.left + (column.width - (3 * side + 2 * kCheckerGap)) / 2;
  const int squares[] = {1, 2, 4};
  const std::string_view names[] = {"1 dot", "2 dots", "4 dots"};
  for (int i = 0; i < 3; ++i) {
    const int x = left + i * (side + kCheckerGap);
    const int square = squares[i];
    for (int dy = 0; dy < side; dy += square)
      for (int dx = 0; dx < side; dx += square)
        if ((dx / square + dy / square) % 2 == 0)
          FillRect(column.canvas, x + dx, column.y + dy, square, square, kBlack);
    if (nameScale)
      DrawText(column.canvas, x + (side - TextWidth(names[i], nameScale)) / 2, column.y + side + 4,
               names[i], nameScale);
  }
  column.y += side + nameRows + kPartGap;
}

// 'BarcodeModule()' - The widest module, 3 dots down to 1, at which the
// barcode of 'text' and its white margins fit the column; 0 when none does.
int BarcodeModule(std::string_view text, int width) {
  for (int module = 3; module >= 1; --module)
    if (Code128BWidth(int(text.size()), module) + 2 * kCode128QuietModules * module <= width)
      return module;
  return 0;
}

// 'DrawBarcode()' - The printer's name as a Code 128 barcode, centred, with
// the text below; "TEST" when the name cannot be encoded or is too long.
void DrawBarcode(Column &column, const std::string &printerName) {
  std::string text = printerName;
  int module = 0;
  if (!text.empty() && text.size() <= 64 && Code128BSymbols(text))
    module = BarcodeModule(text, column.width);
  if (module == 0) {
    text = "TEST";
    module = BarcodeModule(text, column.width);
  }
  if (module == 0) {
    column.leftOut = true;
    return;
  }
  const int textScale = FitScale(text, column.scale, column.width);
  const int textRows = textScale ? 4 + TextHeight(textScale) : 0;
  const std::string_view heading = "Code 128";
  if (!column.Fits(HeadingRows(HeadingScale(column, heading)) + kBarcodeHeight + textRows))
    return;
  Heading(column, heading);

  const int barsWidth = Code128BWidth(int(text.size()), module);
  DrawCode128B(column.canvas, column.left + (column.width - barsWidth) / 2, column.y, text, module,
               kBarcodeHeight);
  if (textScale)
    DrawText(column.canvas, column.left + (column.width - TextWidth(text, textScale)) / 2,
             column.y + kBarcodeHeight + 4, text, textScale);
  column.y += kBarcodeHeight + textRows + kPartGap;
}

} // namespace

// 'DrawSelfTestLabel()' - The rulers along the edges, the parts inside them:
// with text at scale 3 when every part fits so, else at scale 2.
GrayCanvas DrawSelfTestLabel(const SelfTestContent &content, int widthDots, int heightDots) {
  for (int scale = 3;; --scale) {
    GrayCanvas canvas = WhiteCanvas(widthDots, heightDots);
    if (canvas.width == 0)
      return canvas;
    DrawRulers(canvas);
    if (canvas.width <= 2 * kSelfTestMargin || canvas.height <= 2 * kSelfTestMargin)
      return canvas;

    Column column{canvas,
                  kSelfTestMargin,
                  canvas.width - 2 * kSelfTestMargin,
                  kSelfTestMargin,
                  canvas.height - kSelfTestMargin,
                  scale};
    DrawTitle(column, content.printerName);
    DrawSettings(column, content.settings);
    DrawLadder(column);
    DrawCheckerboards(column);
    DrawBarcode(column, content.printerName);
    if (!column.leftOut || scale == 2)
      return canvas;
  }
}

namespace {

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
