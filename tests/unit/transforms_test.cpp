// The orientation transforms against a literal, pixel-by-pixel walk of the
// page in the order the printer's firmware documentation gives.
#include "transforms.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

struct Page {
  std::vector<uint8_t> bits;
  int width, height, stride;
};

bool Pixel(const Page &p, int x, int y) {
  return (p.bits[static_cast<size_t>(y) * p.stride + x / 8] >> (7 - x % 8)) & 1;
}

// A random page, 0 = black, with white (1) padding bits as the converter makes.
Page RandomPage(int width, int height, int stride, std::mt19937 &rng) {
  Page p{std::vector<uint8_t>(static_cast<size_t>(stride) * height, 0xFF), width, height, stride};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (rng() % 3 == 0)
        p.bits[static_cast<size_t>(y) * stride + x / 8] &= ~(0x80 >> (x % 8));
  return p;
}

// Copy pixels in the given order into a white buffer, one output bit after
// the other; StartRow starts a destination row at its byte offset.
class BitWriter {
public:
  BitWriter(std::vector<uint8_t> &out) : out_(out) {}
  void StartRow(size_t byteOffset) { pos_ = byteOffset * 8; }
  void Put(bool white) {
    if (!white)
      out_[pos_ / 8] &= ~(0x80 >> (pos_ % 8));
    ++pos_;
  }

private:
  std::vector<uint8_t> &out_;
  size_t pos_ = 0;
};

std::vector<uint8_t> LiteralHalfTurn(const Page &p) {
  std::vector<uint8_t> out(static_cast<size_t>(p.stride) * p.height, 0xFF);
  BitWriter w(out);
  for (int h = p.height - 1; h >= 0; --h) {
    w.StartRow(static_cast<size_t>(p.height - 1 - h) * p.stride);
    for (int x = p.width - 1; x >= 0; --x)
      w.Put(Pixel(p, x, h));
  }
  return out;
}

std::vector<uint8_t> LiteralMirror(const Page &p) {
  std::vector<uint8_t> out(static_cast<size_t>(p.stride) * p.height, 0xFF);
  BitWriter w(out);
  for (int j = 0; j < p.height; ++j) {
    w.StartRow(static_cast<size_t>(j) * p.stride);
    for (int x = p.width - 1; x >= 0; --x)
      w.Put(Pixel(p, x, j));
  }
  return out;
}

// Destination row c is source column c read from the bottom row upwards.
std::vector<uint8_t> LiteralQuarterTurn(const Page &p) {
  const int linebyte = (p.height + 31) / 32 * 4;
  std::vector<uint8_t> out(static_cast<size_t>(linebyte) * p.width, 0xFF);
  BitWriter w(out);
  for (int c = 0; c < p.width; ++c) {
    w.StartRow(static_cast<size_t>(c) * linebyte);
    for (int r = p.height - 1; r >= 0; --r)
      w.Put(Pixel(p, c, r));
  }
  return out;
}

std::vector<uint8_t> AsVector(const PageBytes &page) { return {page.begin(), page.end()}; }

struct Shape {
  int width, height, stride;
};

// Widths around byte and word boundaries, one-pixel pages, padded strides.
const Shape kShapes[] = {{1, 1, 4},      {1, 700, 4},   {2, 3, 4},    {7, 5, 1},     {8, 9, 1},
                         {9, 17, 2},     {10, 2, 4},    {16, 3, 2},   {31, 33, 4},   {33, 8, 8},
                         {63, 65, 8},    {100, 30, 13}, {100, 7, 20}, {576, 48, 72}, {4, 4000, 4},
                         {812, 40, 102}, {1001, 9, 128}};

TEST(Transforms, HalfTurnMirrorAndQuarterTurnMatchTheLiteralWalk) {
  std::mt19937 rng(7);
  for (const Shape &s : kShapes) {
    SCOPED_TRACE(testing::Message() << s.width << "x" << s.height << " stride " << s.stride);
    Page p = RandomPage(s.width, s.height, s.stride, rng);
    EXPECT_EQ(AsVector(HalfTurn(p.bits, p.width, p.height, p.stride)), LiteralHalfTurn(p));
    EXPECT_EQ(MirrorPicture(p.width, p.height, p.stride, p.bits), LiteralMirror(p));
    EXPECT_EQ(Rotate90Degrees(p.bits, p.width, p.height, p.stride), LiteralQuarterTurn(p));
  }
}

TEST(Transforms, SourcePaddingNeverReachesThePicture) {
  // Black padding bits in the source (a raster line's stray bits) must not
  // show up as dots anywhere in the turned or mirrored page.
  Page p{std::vector<uint8_t>(4 * 3, 0x00), 10, 3, 4}; // every bit black, padding included
  auto turned = AsVector(HalfTurn(p.bits, 10, 3, 4));
  auto mirrored = MirrorPicture(10, 3, 4, p.bits);
  for (int y = 0; y < 3; ++y) {
    for (auto *page : {&turned, &mirrored}) {
      EXPECT_EQ((*page)[y * 4 + 0], 0x00);
      EXPECT_EQ((*page)[y * 4 + 1], 0x3F) << "pixels 8 and 9 black, the rest white";
      EXPECT_EQ((*page)[y * 4 + 2], 0xFF);
      EXPECT_EQ((*page)[y * 4 + 3], 0xFF);
    }
  }
}

TEST(Transforms, QuarterTurnOfTwoByThreePagePutsTopLeftPixelAtTopRight) {
  Page p{std::vector<uint8_t>(4 * 3, 0xFF), 2, 3, 4};
  p.bits[0] = 0x7F; // pixel (0, 0) black
  auto turned = Rotate90Degrees(p.bits, 2, 3, 4);
  ASSERT_EQ(turned.size(), 2u * 4);
  EXPECT_EQ(turned[0], 0xDF) << "row 0: black pixel at column 2 of 3";
  EXPECT_EQ(turned[4], 0xFF);
}

// The rows the printer gets, band by band, against the whole page turned and
// complemented: every polarity, white rows among the others, bands that
// start anywhere.
TEST(Transforms, PrinterRowsAreTheTurnedPageRowByRow) {
  std::mt19937 rng(11);
  for (const Shape &s : kShapes) {
    Page p = RandomPage(s.width, s.height, s.stride, rng);
    for (int y = 0; y < s.height; y += 3) // every third row white
      std::fill_n(p.bits.begin() + static_cast<ptrdiff_t>(y) * s.stride, s.stride, 0xFF);
    // A black padding bit on the white first row: a turned row takes only
    // the pixels, a row as it stands keeps it.
    if (s.stride * 8 > s.width)
      p.bits[s.width / 8] &= static_cast<uint8_t>(~(0x80 >> (s.width % 8)));
    for (bool turned : {false, true})
      for (bool blackIsOne : {false, true})
        for (bool dotIsOne : {false, true}) {
          SCOPED_TRACE(testing::Message()
                       << s.width << "x" << s.height << " stride " << s.stride << " turned "
                       << turned << " black " << blackIsOne << " dot " << dotIsOne);
          std::vector<uint8_t> source = p.bits;
          if (blackIsOne)
            InvertPage(source);
          // What the printer gets: the page (0 = black) turned, then
          // complemented when a dot is a 1 bit.
          std::vector<uint8_t> expected = turned ? LiteralHalfTurn(p) : source;
          if (turned && dotIsOne)
            InvertPage(expected);
          if (!turned && blackIsOne != dotIsOne)
            InvertPage(expected);
          const uint8_t flip = blackIsOne == dotIsOne ? 0x00 : 0xFF;
          PrinterRows rows(source, s.width, s.height, s.stride, turned, flip,
                           dotIsOne ? 0x00 : 0xFF);
          const size_t stride = static_cast<size_t>(s.stride);
          for (int first = 0; first < s.height; first += 1 + first % 7) {
            const int count = std::min(s.height - first, 1 + (first * 5) % 24);
            std::vector<uint8_t> got(count * stride, 0x5A);
            rows.Copy(first, count, got.data());
            EXPECT_TRUE(std::equal(got.begin(), got.end(), expected.begin() + first * stride))
                << "rows " << first << " to " << first + count - 1;
          }
          for (int j = 0; j < s.height; ++j) {
            auto row = expected.begin() + j * stride;
            EXPECT_EQ(rows.IsBlank(j),
                      std::all_of(row, row + s.stride, [](uint8_t b) { return b == 0; }))
                << "row " << j;
          }
        }
  }
}

TEST(Transforms, InversionMakesBlackPixelsDots) {
  std::vector<uint8_t> page{0x00, 0xFF, 0x0F, 0xA5};
  InvertPage(page);
  EXPECT_EQ(page, (std::vector<uint8_t>{0xFF, 0x00, 0xF0, 0x5A}));
}

} // namespace
