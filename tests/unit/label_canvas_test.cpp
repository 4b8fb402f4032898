// The gray canvas's drawing steps and the bitmap font.
#include "labels/bitmap_font.h"
#include "labels/gray_canvas.h"

#include "canvas_rows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using labels::GrayCanvas;
using Rows = std::vector<std::string>;

TEST(GrayCanvas, LinesAndFramesPaintTheirDotsAndStopAtTheEdge) {
  GrayCanvas canvas = labels::WhiteCanvas(7, 6);
  labels::Frame(canvas, 0, 0, 7, 6, 2);
  labels::HorizontalLine(canvas, 2, 2, 2, 128);
  labels::VerticalLine(canvas, 4, 3, 5);
  labels::FillRect(canvas, 2147483000, 0, 2000, 2, labels::kBlack);
  EXPECT_EQ(CanvasRows(canvas), (Rows{"#######", //
                                      "#######", //
                                      "##++.##", //
                                      "##..###", //
                                      "#######", //
                                      "#######"}));
  EXPECT_EQ(canvas.At(2, 2), 128);
}

TEST(BitmapFont, LetterLAtScaleTwoCoversItsColumnAndBaseRow) {
  // 'L' is the left column of rows 0 to 5 and all of row 6: at scale 2 from
  // (1, 1), columns 1-2 of rows 1-12 and columns 1-10 of rows 13-14.
  GrayCanvas canvas = labels::WhiteCanvas(12, 19);
  labels::DrawText(canvas, 1, 1, "L", 2);
  Rows expected(19, std::string(12, '.'));
  for (int y = 1; y <= 12; ++y)
    expected[y] = ".##.........";
  expected[13] = expected[14] = ".##########.";
  EXPECT_EQ(CanvasRows(canvas), expected);
}

TEST(BitmapFont, BytesOutsidePrintableAsciiDrawAsQuestionMarks) {
  const Rows question = {".###.", "#...#", "....#", "...#.", "..#..",
                         ".....", "..#..", ".....", "....."};
  for (const std::string text : {"\x01", "\x7f", "\x80", "\xff", "\t"}) {
    GrayCanvas canvas = labels::WhiteCanvas(5, 9);
    labels::DrawText(canvas, 0, 0, text, 1);
    EXPECT_EQ(CanvasRows(canvas), question) << int(static_cast<unsigned char>(text[0]));
  }
}

TEST(BitmapFont, NGlyphsNeedSixNLessOneColumnsPerScaleStep) {
  struct Case {
    int width;
    int scale;
    int glyphs;
  };
  for (const Case &c : std::vector<Case>{{4, 1, 0},
                                         {5, 1, 1},
                                         {10, 1, 1},
                                         {11, 1, 2},
                                         {21, 2, 1},
                                         {22, 2, 2},
                                         {0, 1, 0},
                                         {-5, 1, 0}})
    EXPECT_EQ(labels::GlyphsThatFit(c.width, c.scale), c.glyphs) << c.width << " at " << c.scale;
  EXPECT_EQ(labels::TextWidth("AB", 2), 22);
  EXPECT_EQ(labels::TextWidth("100", 3), 51);
  EXPECT_EQ(labels::TextWidth("", 2), 0);
}

} // namespace
