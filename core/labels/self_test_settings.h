// The settings the self-test label lists: every option of the printer's PPD
// by its name, with the choice a job would send, or none when the printer
// keeps its own, in the order of the options table's self-test lines.
#pragma once

#include "labels/maintenance_labels.h"
#include "option_table.h"

#include <vector>

namespace labels {

inline std::vector<Setting> SelfTestSettings(const ChoiceKeywords &c) {
  std::vector<Setting> settings(kPrinterOptions.size());
  for (const PrinterOption &option : kPrinterOptions)
    settings[static_cast<size_t>(option.selfTestLine - 1)] = {option.keyword, c.*option.field};
  return settings;
}

} // namespace labels
