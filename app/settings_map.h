// The printer's settings as IPP attributes: the standard darkness and speed,
// and one vendor attribute for every other choice of the printer's PPD. Each
// becomes the PPD's choice keyword the engine reads.
#pragma once

#include "settings.h"

#include <pappl/pappl.h>

#include <optional>
#include <ranges>
#include <string>
#include <vector>

// 'VendorOptions()' - The options the application offers as vendor
// attributes, in the order of the options table, which the web page shows.
inline auto VendorOptions() {
  return kPrinterOptions |
         std::views::filter([](const PrinterOption &option) { return option.ippName != nullptr; });
}

// 'OfferedChoices()' - The values of the option's vendor attribute, in the
// order NAME-supported lists them: "printer-setting" first (the printer
// keeps its own setting and is sent no command: no PPD choice) when the PPD
// has no default, then one for every PPD choice.
std::vector<OptionChoice> OfferedChoices(const PrinterOption &option);

// 'DefaultValue()' - The option's built-in default as IPP text: the PPD's
// default, or "printer-setting" when the PPD has none.
const char *DefaultValue(const PrinterOption &option);

// 'SupportedValue()' - The value of 'attr' as IPP text when the printer takes
// it for 'option': one value, of the attribute's syntax, among its offered
// choices. Nothing for any other value, or for no attribute.
std::optional<std::string> SupportedValue(const PrinterOption &option, ipp_attribute_t *attr);

// 'AddVendorAttributes()' - Put every vendor attribute's name into the
// driver data and its -default and -supported values into 'attrs'.
void AddVendorAttributes(pappl_pr_driver_data_t &data, ipp_t *attrs);

// 'DarknessLevel()' - The printer's Darkness (1 to 15) for a darkness of
// 0 to 100 %, or nothing for 0 %: the printer keeps its own darkness.
std::optional<int> DarknessLevel(int percent);

// 'SpeedLevel()' - The printer's PrintSpeed (1 to 8) for an IPP print-speed
// in hundredths of a millimetre per second, or nothing for 0 (automatic):
// the printer keeps its own speed.
std::optional<int> SpeedLevel(int hundredthsMmPerSecond);

// The speeds offered: 1 to 8 inches per second, one per PrintSpeed choice.
inline constexpr int kSpeedStep = 2540;
inline constexpr int kSpeedLevels =
    static_cast<int>(OptionOf(&ChoiceKeywords::PrintSpeed).choices.size());
// The darkness levels offered: "none" (0 %) and one per Darkness choice, 1 to
// 15.
inline constexpr int kDarknessLevels =
    static_cast<int>(OptionOf(&ChoiceKeywords::Darkness).choices.size()) + 1;

// 'JobChoiceKeywords()' - The PPD choice keywords a job asks for: its vendor
// attributes, its darkness and its speed. Each vendor attribute takes the
// job's own value (none without a job), else the printer's NAME-default in
// 'printerAttrs', else the built-in default: whichever is first a value the
// printer takes. The job's values that were not taken go to 'ignored' as
// "NAME=VALUE".
ChoiceKeywords JobChoiceKeywords(const pappl_pr_options_t &options, pappl_job_t *job,
                                 ipp_t *printerAttrs, std::vector<std::string> &ignored);
