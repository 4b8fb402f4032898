// The settings the self-test label lists: every option of the printer's PPD
// by its name, with the choice a job would send, or none when the printer
// keeps its own.
#pragma once

#include "labels/maintenance_labels.h"
#include "settings.h"

#include <vector>

namespace labels {

inline std::vector<Setting> SelfTestSettings(const ChoiceKeywords &c) {
  return {
      {"Darkness", c.Darkness},
      {"PrintSpeed", c.PrintSpeed},
      {"PrintPressure", c.PrintPressure},
      {"PrintHeaderHeatingTemp", c.PrintHeaderHeatingTemp},
      {"PrintHeaderOffset", c.PrintHeaderOffset},
      {"EdageEnhance", c.EdageEnhance},
      {"EdageEnhanceLength", c.EdageEnhanceLength},
      {"UpwardOffset", c.UpwardOffset},
      {"Dithering", c.Dithering},
      {"Origin", c.Origin},
      {"MirrorImage", c.MirrorImage},
      {"NegativeImage", c.NegativeImage},
      {"FeedAfterPrinting", c.FeedAfterPrinting},
      {"Cutting", c.Cutting},
  };
}

} // namespace labels
