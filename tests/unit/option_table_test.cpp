// The options table against the printer's PPD as libcups reads it: every
// option of the PPD beside the page size, resolution and colour model is a
// row of the table, in the PPD's order, with the PPD's choices and default.
#include "option_table.h"

#include <cups/ppd.h>
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

// An option as the PPD or the table has it; an empty default for none.
struct Option {
  std::string keyword;
  std::vector<std::string> choices;
  std::string defaultChoice;
  bool operator==(const Option &) const = default;
};
void PrintTo(const Option &o, std::ostream *os) {
  *os << o.keyword << " default '" << o.defaultChoice << "':";
  for (const std::string &choice : o.choices)
    *os << " " << choice;
}

// The page's options, which the raster's header carries, not the table.
const std::set<std::string> kPageOptions = {"PageSize", "PageRegion", "Resolution", "ColorModel"};

TEST(OptionTable, HoldsEveryOptionOfThePpdWithItsChoicesAndDefault) {
  std::unique_ptr<ppd_file_t, decltype(&ppdClose)> ppd(ppdOpenFile(PRINTER_PPD_PATH), ppdClose);
  ASSERT_TRUE(ppd) << PRINTER_PPD_PATH;
  std::vector<Option> fromPpd;
  for (int g = 0; g < ppd->num_groups; ++g)
    for (int o = 0; o < ppd->groups[g].num_options; ++o) {
      ppd_option_t &option = ppd->groups[g].options[o];
      if (kPageOptions.count(option.keyword))
        continue;
      Option read{option.keyword, {}, ""};
      for (int c = 0; c < option.num_choices; ++c)
        read.choices.push_back(option.choices[c].choice);
      // "Unknown" names no choice: nothing is marked.
      if (ppdFindChoice(&option, option.defchoice))
        read.defaultChoice = option.defchoice;
      fromPpd.push_back(read);
    }

  std::vector<Option> fromTable;
  for (const PrinterOption &option : kPrinterOptions) {
    Option row{option.keyword, {}, ""};
    for (const OptionChoice &choice : option.choices)
      row.choices.push_back(choice.ppd);
    if (option.defaultChoice != kNoDefault)
      row.defaultChoice = option.choices[static_cast<size_t>(option.defaultChoice)].ppd;
    fromTable.push_back(row);
  }
  EXPECT_EQ(fromTable, fromPpd);
}

} // namespace
