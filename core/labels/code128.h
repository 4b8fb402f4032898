// Code 128 barcodes in code set B: printable ASCII, one symbol per character.
//
// A symbol is 11 modules: three bars and three spaces, each 1 to 4 modules
// wide. The barcode is the start symbol of code set B, one symbol per
// character, a check symbol and the stop symbol (13 modules, ending in a
// 2-module bar). A scanner wants 10 modules of white paper on either side;
// the drawing leaves that to the caller.
#pragma once

#include "labels/gray_canvas.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace labels {

inline constexpr int kCode128StartB = 104;
inline constexpr int kCode128Stop = 106;
inline constexpr int kCode128QuietModules = 10; // white on each side

// 'Code128BSymbols()' - The symbol values of 'text': start B, each character
// less 32, the check value (start B plus each character's value times its
// position, 1 for the first, modulo 103), stop. Nothing when a byte lies
// outside 0x20 to 0x7E.
std::optional<std::vector<int>> Code128BSymbols(std::string_view text);

// 'Code128BModules()' - The barcode of 'text' module by module, '1' a bar and
// '0' a space, from the start symbol to the stop symbol's last bar: 11 modules
// per symbol and 13 for the stop. Nothing when Code128BSymbols() gives nothing.
std::optional<std::string> Code128BModules(std::string_view text);

// 'Code128BWidth()' - Dots across the barcode of a 'length'-character text
// with modules 'moduleWidth' dots wide, without the white on either side.
int Code128BWidth(int length, int moduleWidth);

// 'DrawCode128B()' - Paint the bars of the barcode of 'text' black, the first
// bar's left edge at column x, from row y down 'height' rows, each module
// 'moduleWidth' dots. Returns false and paints nothing when the text cannot
// be encoded.
bool DrawCode128B(GrayCanvas &canvas, int x, int y, std::string_view text, int moduleWidth,
                  int height);

} // namespace labels
