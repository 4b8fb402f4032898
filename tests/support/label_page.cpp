#include "support/label_page.h"

#include <algorithm>
#include <array>
#include <cmath>

double PhotoLight(double u, double v) {
  const double du = u - 0.55, dv = v - 0.45;
  return 235 - 170 * v * (0.3 + 0.7 * u) - 90 * std::exp(-(du * du / 0.06 + dv * dv / 0.1));
}

namespace {

// splitmix64 with a fixed seed: every run draws the same page.
struct Random {
  uint64_t state;

  uint64_t Next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // A number from lo to hi, both included.
  int Between(int lo, int hi) {
    return hi <= lo ? lo : lo + static_cast<int>(Next() % static_cast<uint64_t>(hi - lo + 1));
  }
};

struct Color {
  uint8_t r, g, b;
};
constexpr Color kBlack{0, 0, 0};
constexpr Color kWhite{255, 255, 255};
constexpr Color kShade{215, 215, 215}; // a light banner fill
constexpr Color kDarkRed{120, 10, 10}; // title colour of colour pages

// The page while it is drawn: 3 bytes a pixel, 0 = black, whatever depth it
// is written at in the end. Drawing stays inside the clip box.
struct Canvas {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
  int clipLeft = 0, clipTop = 0, clipRight = 0, clipBottom = 0; // right and bottom excluded

  Canvas(int w, int h)
      : width(w), height(h), rgb(static_cast<size_t>(w) * h * 3, 255), clipRight(w), clipBottom(h) {
  }

  uint8_t *At(int x, int y) { return rgb.data() + (static_cast<size_t>(y) * width + x) * 3; }

  // Fill the rectangle from (x0, y0) up to, not including, (x1, y1).
  void Fill(int x0, int y0, int x1, int y1, Color c) {
    x0 = std::max(x0, clipLeft);
    y0 = std::max(y0, clipTop);
    x1 = std::min(x1, clipRight);
    y1 = std::min(y1, clipBottom);
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) {
        uint8_t *p = At(x, y);
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
      }
  }
};

// A glyph-like shape in a gw x gh cell: some of two side stems, a centre
// stem and three bars, as the strokes of printed capitals and digits are.
// Short glyphs (lower case) start a third of the way down the cell.
void DrawGlyph(Canvas &canvas, Random &random, int x, int y, int gw, int gh, int stroke, Color c) {
  unsigned shape = static_cast<unsigned>(random.Next());
  if ((shape & 63) == 0)
    shape |= 1;
  const int top = (shape & 64) ? y + gh / 3 : y;
  const int bottom = y + gh;
  const int middle = (top + bottom - stroke) / 2;
  if (shape & 1)
    canvas.Fill(x, top, x + stroke, bottom, c);
  if (shape & 2)
    canvas.Fill(x + gw - stroke, top, x + gw, bottom, c);
  if (shape & 32)
    canvas.Fill(x + (gw - stroke) / 2, top, x + (gw + stroke) / 2, bottom, c);
  if (shape & 4)
    canvas.Fill(x, top, x + gw, top + stroke, c);
  if (shape & 8)
    canvas.Fill(x, middle, x + gw, middle + stroke, c);
  if (shape & 16)
    canvas.Fill(x, bottom - stroke, x + gw, bottom, c);
}

// One line of words with a ragged right end somewhere between x0 and x1.
void DrawTextLine(Canvas &canvas, Random &random, int x0, int x1, int y, int gh, int stroke,
                  Color c) {
  const int gw = std::max(1, gh * 3 / 5);
  const int gap = std::max(1, gh / 6);
  const int end = x0 + (x1 - x0) * random.Between(55, 100) / 100;
  int x = x0;
  do {
    const int letters = random.Between(2, 9);
    for (int i = 0; i < letters; ++i, x += gw + gap)
      DrawGlyph(canvas, random, x, y, gw, gh, stroke, c);
    x += gw; // the space between words
  } while (x + 2 * (gw + gap) < end);
}

// Bars and spaces of 1 to 4 modules between quiet zones of 10 modules.
void DrawBarcode(Canvas &canvas, Random &random, int x0, int x1, int y, int barHeight, int module) {
  const int quiet = 10 * module;
  const int end = x0 + (x1 - x0) * random.Between(60, 95) / 100 - quiet;
  bool bar = true;
  for (int x = x0 + quiet; x < end; bar = !bar) {
    const int w = module * random.Between(1, 4);
    if (bar)
      canvas.Fill(x, y, x + w, y + barHeight, kBlack);
    x += w;
  }
}

// A photo-like area: a smooth gradient with a darker blob in it and some
// grain. Colour pages get unequal red, green and blue.
void DrawPhoto(Canvas &canvas, Random &random, int x0, int y0, int x1, int y1, bool colour) {
  const double w = std::max(1, x1 - x0);
  const double h = std::max(1, y1 - y0);
  for (int y = std::max(y0, canvas.clipTop); y < std::min(y1, canvas.clipBottom); ++y)
    for (int x = std::max(x0, canvas.clipLeft); x < std::min(x1, canvas.clipRight); ++x) {
      const double u = (x - x0) / w;
      const double v = (y - y0) / h;
      double light = PhotoLight(u, v);
      light += random.Between(-14, 14);
      auto level = [](double value) { return static_cast<uint8_t>(std::clamp(value, 0.0, 255.0)); };
      uint8_t *p = canvas.At(x, y);
      p[0] = level(colour ? light + 25 * (1 - u) - 10 : light);
      p[1] = level(light);
      p[2] = level(colour ? light + 30 * v - 15 : light);
    }
}

// Draw the label's contents into the box left..right x top..bottom, one
// section after another, repeating them down a long page.
void DrawContents(Canvas &canvas, Random &random, int left, int top, int right, int bottom,
                  int bitsPerPixel) {
  const int width = right - left;
  const int bodyHeight = std::clamp(width / 34, 3, 40);
  const int bodyStroke = std::max(1, bodyHeight / 7);
  const int bodyPitch = bodyHeight * 3 / 2 + 1;
  const int titleHeight = std::clamp(width / 18, 4, 72);
  const int smallHeight = std::clamp(width / 48, 3, 24);
  const Color title = bitsPerPixel == 24 ? kDarkRed : kBlack;

  int y = top;
  for (int section = 0; y < bottom; section = (section + 1) % 7) {
    switch (section) {
    case 0: // a heading in large bold strokes
      DrawTextLine(canvas, random, left, right, y, titleHeight, std::max(1, titleHeight / 5),
                   title);
      y += titleHeight * 3 / 2 + 1;
      break;
    case 1: // a block of body text
      for (int lines = random.Between(3, 6); lines > 0; --lines, y += bodyPitch)
        DrawTextLine(canvas, random, left, right, y, bodyHeight, bodyStroke, kBlack);
      break;
    case 2: // a rule across the label
      canvas.Fill(left, y + bodyHeight / 2, right, y + bodyHeight / 2 + bodyStroke, kBlack);
      y += bodyHeight + 1;
      break;
    case 3: { // a barcode with its digits under it
      const int barHeight = std::clamp(width / 5, 4, 200);
      DrawBarcode(canvas, random, left, right, y, barHeight, std::max(1, width / 400));
      y += barHeight + smallHeight / 2 + 1;
      DrawTextLine(canvas, random, left + width / 10, left + width / 2, y, smallHeight,
                   std::max(1, smallHeight / 7), kBlack);
      y += smallHeight * 2 + 1;
      break;
    }
    case 4: { // text on a shaded banner
      const int pad = std::max(1, bodyHeight / 2);
      canvas.Fill(left, y, right, y + bodyHeight + 2 * pad, kShade);
      DrawTextLine(canvas, random, left + pad, right - pad, y + pad, bodyHeight, bodyStroke,
                   kBlack);
      y += bodyHeight + 3 * pad + 1;
      break;
    }
    case 5: { // a picture beside a few lines of text
      const int pictureWidth = width * 2 / 5;
      const int pictureHeight = std::max(1, pictureWidth * 3 / 4);
      if (bitsPerPixel == 1) {
        // A 1-bit page carries a logo, not a photo: a frame round a square.
        const int t = std::max(1, pictureWidth / 30);
        canvas.Fill(left, y, left + pictureWidth, y + pictureHeight, kBlack);
        canvas.Fill(left + t, y + t, left + pictureWidth - t, y + pictureHeight - t, kWhite);
        canvas.Fill(left + pictureWidth / 3, y + pictureHeight / 3, left + pictureWidth * 2 / 3,
                    y + pictureHeight * 2 / 3, kBlack);
      } else {
        DrawPhoto(canvas, random, left, y, left + pictureWidth, y + pictureHeight,
                  bitsPerPixel == 24);
      }
      const int textLeft = left + pictureWidth + std::max(1, width / 20);
      for (int ty = y; ty + bodyHeight <= y + pictureHeight; ty += bodyPitch)
        DrawTextLine(canvas, random, textLeft, right, ty, bodyHeight, bodyStroke, kBlack);
      y += pictureHeight + bodyHeight + 1;
      break;
    }
    default: // white space: a few blank bands of the printer
      y += std::max(1, width / 10);
      break;
    }
  }
}

// A 4 x 4 ordered dither: 1-bit pages show a shade as a pattern of dots.
constexpr std::array<std::array<uint8_t, 4>, 4> kBayer{{
    {0, 8, 2, 10},
    {12, 4, 14, 6},
    {3, 11, 1, 9},
    {15, 7, 13, 5},
}};

} // namespace

LabelPage DrawLabelPage(int width, int height, int bitsPerPixel, unsigned variant,
                        size_t bytesPerLine) {
  LabelPage page;
  if (width <= 0 || height <= 0 || (bitsPerPixel != 1 && bitsPerPixel != 8 && bitsPerPixel != 24))
    return page;
  page.width = width;
  page.height = height;
  page.bitsPerPixel = bitsPerPixel;
  page.bytesPerLine = std::max(bytesPerLine, (static_cast<size_t>(width) * bitsPerPixel + 7) / 8);
  page.pixels.assign(page.bytesPerLine * height, 0);

  // White margins, a frame, and the contents inside the frame.
  Canvas canvas(width, height);
  Random random{0x1ABE1F17E5ull ^ (uint64_t{variant} * 0x9E3779B97F4A7C15ull)};
  const int margin = std::clamp(width / 25, 1, 48);
  const int frame = std::clamp(width / 160, 1, 8);
  const int pad = std::max(1, width / 50);
  canvas.Fill(margin, margin, width - margin, height - margin, kBlack);
  canvas.Fill(margin + frame, margin + frame, width - margin - frame, height - margin - frame,
              kWhite);
  const int left = margin + frame + pad, top = margin + frame + pad;
  const int right = width - left, bottom = height - top;
  if (right > left && bottom > top) {
    canvas.clipLeft = left;
    canvas.clipTop = top;
    canvas.clipRight = right;
    canvas.clipBottom = bottom;
    DrawContents(canvas, random, left, top, right, bottom, bitsPerPixel);
  }

  // Write the canvas at the page's depth, as a CUPS raster line carries it.
  for (int y = 0; y < height; ++y) {
    uint8_t *line = page.pixels.data() + page.bytesPerLine * y;
    for (int x = 0; x < width; ++x) {
      const uint8_t *p = canvas.At(x, y);
      const int mean = (p[0] + p[1] + p[2]) / 3;
      switch (bitsPerPixel) {
      case 1:
        if (mean < kBayer[y % 4][x % 4] * 16 + 8)
          line[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        break;
      case 8:
        line[x] = static_cast<uint8_t>(255 - mean);
        break;
      default:
        std::copy(p, p + 3, line + 3 * static_cast<size_t>(x));
        break;
      }
    }
  }
  return page;
}
