// The text of the maintenance labels.
#include "labels/label_text.h"

#include "printer_model.h"

namespace labels {

// 'Tenths()' - The tenths as a number with one decimal.
std::string Tenths(int64_t tenths) {
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

// 'TenthsOfMillimetre()' - Dots in tenths of a millimetre, rounded.
int64_t TenthsOfMillimetre(int dots) {
  return (int64_t(dots) * 2 * 254 + kDotsPerInch) / (2 * kDotsPerInch);
}

// 'Dpi()' - The printer's resolution after a comma.
std::string Dpi() { return ", " + std::to_string(kDotsPerInch) + " dpi"; }

// 'FitScale()' - Each scale from the largest down, until one fits.
int FitScale(std::string_view text, int maxScale, int width) {
  for (int scale = maxScale; scale >= 1; --scale)
    if (TextWidth(text, scale) <= width)
      return scale;
  return 0;
}

} // namespace labels
