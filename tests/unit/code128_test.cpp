// Code 128 in code set B: symbol values, check value, modules and bars.
#include "labels/code128.h"

#include "canvas_rows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// "AB" by hand: start B (104) 211214, 'A' (65 - 32 = 33) 111323, 'B' (34)
// 131123, check (104 + 1 * 33 + 2 * 34) % 103 = 205 % 103 = 102: 411131,
// stop 2331112. Each width a run of bars or spaces, bar first.
const std::string kStartB = "11010010000";
const std::string kA = "10100011000";
const std::string kB = "10001011000";
const std::string kCheck102 = "11110101110";
const std::string kStop = "1100011101011";

TEST(Code128B, SymbolsCarryStartCharactersCheckAndStop) {
  struct Case {
    std::string text;
    std::vector<int> symbols;
  };
  for (const Case &c :
       std::vector<Case>{{"AB", {104, 33, 34, 102, 106}},
                         // 104 + 48 + 2*42 + 3*42 + 4*17 + 5*18 + 6*19 + 7*35 = 879 = 8 * 103 + 55
                         {"PJJ123C", {104, 48, 42, 42, 17, 18, 19, 35, 55, 106}},
                         // 104 % 103 = 1
                         {"", {104, 1, 106}},
                         // 104 + 1 * 0 + 2 * 94 = 292 = 2 * 103 + 86
                         {" ~", {104, 0, 94, 86, 106}}}) {
    const auto symbols = labels::Code128BSymbols(c.text);
    ASSERT_TRUE(symbols.has_value()) << c.text;
    EXPECT_EQ(*symbols, c.symbols) << c.text;
  }
}

TEST(Code128B, ModulesOfABAreTheHandDerivedPatterns) {
  const auto modules = labels::Code128BModules("AB");
  ASSERT_TRUE(modules.has_value());
  EXPECT_EQ(*modules, kStartB + kA + kB + kCheck102 + kStop);
  EXPECT_EQ(modules->size(), 57u);
  EXPECT_EQ(labels::Code128BWidth(2, 1), 57);
  EXPECT_EQ(labels::Code128BWidth(2, 3), 171);
}

TEST(Code128B, BytesOutsidePrintableAsciiCannotBeEncoded) {
  for (const std::string &text :
       std::vector<std::string>{"\t", "A\x7f", "caf\xc3\xa9", std::string("A\0B", 3)}) {
    EXPECT_FALSE(labels::Code128BSymbols(text).has_value());
    EXPECT_FALSE(labels::Code128BModules(text).has_value());
    labels::GrayCanvas canvas = labels::WhiteCanvas(200, 4);
    EXPECT_FALSE(labels::DrawCode128B(canvas, 0, 0, text, 1, 4));
    EXPECT_EQ(canvas.pixels, labels::WhiteCanvas(200, 4).pixels);
  }
}

} // namespace
