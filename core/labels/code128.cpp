// The Code 128 symbol table, the check value and the drawing of the bars.
#include "labels/code128.h"

#include <array>
#include <cstdint>

namespace labels {
namespace {

// The widths in modules of each symbol's bar, space, bar, space, bar, space,
// by value; the stop symbol adds a final 2-module bar.
// clang-format off
constexpr std::array<std::string_view, 107> kPatterns = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", // 0
    "132212", "221213", "221312", "231212", "112232", "122132", "122231", "113222", // 8
    "123122", "123221", "223211", "221132", "221231", "213212", "223112", "312131", // 16
    "311222", "321122", "321221", "312212", "322112", "322211", "212123", "212321", // 24
    "232121", "111323", "131123", "131321", "112313", "132113", "132311", "211313", // 32
    "231113", "231311", "112133", "112331", "132131", "113123", "113321", "133121", // 40
    "313121", "211331", "231131", "213113", "213311", "213131", "311123", "311321", // 48
    "331121", "312113", "312311", "332111", "314111", "221411", "431111", "111224", // 56
    "111422", "121124", "121421", "141122", "141221", "112214", "112412", "122114", // 64
    "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111", // 72
    "111242", "121142", "121241", "114212", "124112", "124211", "411212", "421112", // 80
    "421211", "212141", "214121", "412121", "111143", "111341", "131141", "114113", // 88
    "114311", "411113", "411311", "113141", "114131", "311141", "411131", "211412", // 96
    "211214", "211232", "2331112",                                                  // 104
};
// clang-format on

} // namespace

// 'Code128BSymbols()' - Start B, the characters, the weighted check, stop.
std::optional<std::vector<int>> Code128BSymbols(std::string_view text) {
  std::vector<int> symbols;
  symbols.reserve(text.size() + 3);
  symbols.push_back(kCode128StartB);
  uint64_t check = kCode128StartB;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte > 0x7E)
      return std::nullopt;
    const int value = byte - 32;
    symbols.push_back(value);
    check = (check + uint64_t(value) * ((i + 1) % 103)) % 103;
  }
  symbols.push_back(int(check % 103));
  symbols.push_back(kCode128Stop);
  return symbols;
}

// 'Code128BModules()' - Each width of each symbol as that many '1's for a bar
// or '0's for a space, bars and spaces taking turns.
std::optional<std::string> Code128BModules(std::string_view text) {
  const std::optional<std::vector<int>> symbols = Code128BSymbols(text);
  if (!symbols)
    return std::nullopt;
  std::string modules;
  for (int value : *symbols) {
    bool bar = true;
    for (char width : kPatterns[size_t(value)]) {
      modules.append(size_t(width - '0'), bar ? '1' : '0');
      bar = !bar;
    }
  }
  return modules;
}

// 'Code128BWidth()' - Start, characters and check of 11 modules, stop of 13.
int Code128BWidth(int length, int moduleWidth) { return (11 * (length + 2) + 13) * moduleWidth; }

// 'DrawCode128B()' - One black rectangle per run of bar modules.
bool DrawCode128B(GrayCanvas &canvas, int x, int y, std::string_view text, int moduleWidth,
                  int height) {
  const std::optional<std::string> modules = Code128BModules(text);
  if (!modules)
    return false;
  for (size_t start = 0; start < modules->size();) {
    size_t end = start;
    while (end < modules->size() && (*modules)[end] == (*modules)[start])
      ++end;
    if ((*modules)[start] == '1')
      FillRect(canvas, x + int(start) * moduleWidth, y, int(end - start) * moduleWidth, height,
               kBlack);
    start = end;
  }
  return true;
}

} // namespace labels
