// The self-test label: plain layout from the top of the page down, each part
// drawn only when all of it fits.
#include "labels/maintenance_labels.h"

#include "labels/bitmap_font.h"
#include "labels/code128.h"
#include "labels/label_text.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

namespace labels {
namespace {

constexpr int kPartGap = 16; // white rows between the parts of a label
constexpr int kLadderPatchHeight = 48;
constexpr int kBarcodeHeight = 64; // 8 mm of bars
constexpr int kCheckerGap = 16;    // white columns between two checkerboards

// 'LadderGray()' - The gray level of p % black: 255 - round(p * 255 / 100).
uint8_t LadderGray(int percent) { return uint8_t(255 - (percent * 255 + 50) / 100); }

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

} // namespace labels
