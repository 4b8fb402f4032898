// The printer's options, one row each, in the order of its PPD: the PPD's
// option keyword, the field of the job's choices it fills, its choices and
// default, the settings command that sends it, its line on the self-test
// label and the vendor attribute the printer application offers it as. The
// PPD reader, the settings commands, the self-test label's list and the
// application's attributes, defaults and web page names are made from it.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

// The choice keyword of each option the printer takes, as the job or the
// printer's defaults give it; empty when the option has none.
struct ChoiceKeywords {
  std::optional<std::string> Dithering;
  std::optional<std::string> MirrorImage;
  std::optional<std::string> NegativeImage;
  std::optional<std::string> Origin;
  std::optional<std::string> PrintPressure;
  std::optional<std::string> PrintHeaderHeatingTemp;
  std::optional<std::string> PrintHeaderOffset;
  std::optional<std::string> EdageEnhance;
  std::optional<std::string> EdageEnhanceLength;
  std::optional<std::string> PrintSpeed;
  std::optional<std::string> Darkness;
  std::optional<std::string> UpwardOffset;
  std::optional<std::string> FeedAfterPrinting;
  std::optional<std::string> Cutting;
};

using ChoiceField = std::optional<std::string> ChoiceKeywords::*;

// One choice of an option: the PPD's choice keyword, the printer
// application's value for it as IPP text (a keyword, "true" or "false", a
// number) and the web page's name for it.
struct OptionChoice {
  const char *ppd;
  const char *ipp;
  const char *label;
};

// How the printer application offers an option's choices.
enum class IppSyntax {
  Keyword, // one keyword per choice, and "printer-setting" when the PPD has no default
  Boolean, // true and false, for the choices "True" and "False"
  Integer, // the choices' numbers, listed one by one: the web page shows a list
};

inline constexpr int kNoDefault = -1;

// One option of the printer: its row in the table.
struct PrinterOption {
  // The PPD's option keyword, and the job's choice it fills.
  const char *keyword;
  ChoiceField field;
  // The PPD's choices in its order, and its default as a position among
  // them; kNoDefault for "Unknown", where nothing is marked and the printer
  // keeps its own setting.
  std::span<const OptionChoice> choices;
  int defaultChoice;
  // The settings command that sends the choice's number; 0 for none.
  uint8_t command;
  // The option's line in the self-test label's list of settings, from 1.
  int selfTestLine;
  // The printer application's vendor attribute, the web page's name for it
  // and its syntax; no attribute for an option that a standard attribute
  // (darkness, speed) sets.
  const char *ippName;
  const char *ippLabel;
  IppSyntax ippSyntax;
};

// The longest feed after printing the printer knows (choice 13, 720 dots).
inline constexpr int kLargestFeedChoice = 13;

// A yes-or-no option's choices are "False", then "True".
inline constexpr int kTrueChoice = 1;

namespace option_choices {

constexpr const char *kNumbers[] = {"0", "1", "2",  "3",  "4",  "5",  "6",  "7",
                                    "8", "9", "10", "11", "12", "13", "14", "15"};

// 'Numbers()' - The choices "Low" to "High", each its own IPP value and name.
template <int Low, int High> constexpr std::array<OptionChoice, High - Low + 1> Numbers() {
  std::array<OptionChoice, High - Low + 1> choices{};
  for (int n = Low; n <= High; ++n)
    choices[n - Low] = {kNumbers[n], kNumbers[n], kNumbers[n]};
  return choices;
}

inline constexpr auto kLevels0To15 = Numbers<0, 15>();
inline constexpr auto kLevels1To15 = Numbers<1, 15>();
inline constexpr auto kSpeeds = Numbers<1, 8>();
inline constexpr auto kFeeds = Numbers<0, kLargestFeedChoice>();
inline constexpr OptionChoice kGrayConversion[] = {
    {"None", "edge-aware", "Edge-aware"},
    {"Threshold", "threshold", "Threshold"},
    {"OrderDithering", "ordered-dither", "Ordered dither"},
    {"ErrorDiffusion", "error-diffusion", "Error diffusion"},
};
inline constexpr OptionChoice kOrigin[] = {
    {"Rotation0", "rotation-0", "0°"},
    {"Rotation90", "rotation-90", "90°"},
    {"Rotation180", "rotation-180", "180°"},
    {"Rotation270", "rotation-270", "270° (printed as 90°)"},
};
inline constexpr OptionChoice kYesNo[] = {{"False", "false", "Off"}, {"True", "true", "On"}};
inline constexpr OptionChoice kOnOff[] = {{"0", "off", "Off"}, {"1", "on", "On"}};
inline constexpr OptionChoice kCutting[] = {
    {"0", "none", "No cut"},
    {"1", "after-every-page", "After every page"},
    {"2", "end-of-job", "At the end of the job"},
};

} // namespace option_choices

inline constexpr std::array<PrinterOption, 14> kPrinterOptions = [] {
  namespace c = option_choices;
  using K = ChoiceKeywords;
  using S = IppSyntax;
  // keyword, field, choices, default, command, self-test line, vendor attribute, its name, syntax
  return std::array<PrinterOption, 14>{{
      {"Dithering", &K::Dithering, c::kGrayConversion, 0, 0, 9, "gray-conversion",
       "Gray conversion", S::Keyword},
      {"Origin", &K::Origin, c::kOrigin, 0, 0, 10, "label-origin", "Label rotation", S::Keyword},
      {"MirrorImage", &K::MirrorImage, c::kYesNo, 0, 0, 11, "mirror-image", "Mirror image",
       S::Boolean},
      {"NegativeImage", &K::NegativeImage, c::kYesNo, 0, 0, 12, "negative-image",
       "Negative image (white on black)", S::Boolean},
      {"FeedAfterPrinting", &K::FeedAfterPrinting, c::kFeeds, 0, 0, 13, "feed-after-printing",
       "Feed after printing", S::Integer},
      {"Cutting", &K::Cutting, c::kCutting, 0, 0, 14, "cutting", "Cutter", S::Keyword},
      {"PrintPressure", &K::PrintPressure, c::kLevels1To15, kNoDefault, 0x02, 3,
       "print-head-pressure", "Print head pressure", S::Keyword},
      {"PrintHeaderHeatingTemp", &K::PrintHeaderHeatingTemp, c::kLevels1To15, kNoDefault, 0x0A, 4,
       "print-head-temperature", "Print head temperature", S::Keyword},
      {"PrintHeaderOffset", &K::PrintHeaderOffset, c::kLevels0To15, kNoDefault, 0x0C, 5,
       "print-head-offset", "Print head offset", S::Keyword},
      {"EdageEnhance", &K::EdageEnhance, c::kOnOff, kNoDefault, 0x0D, 6, "edge-enhancement",
       "Edge enhancement", S::Keyword},
      {"EdageEnhanceLength", &K::EdageEnhanceLength, c::kLevels0To15, kNoDefault, 0x0E, 7,
       "edge-enhancement-length", "Edge enhancement length", S::Keyword},
      {"PrintSpeed", &K::PrintSpeed, c::kSpeeds, kNoDefault, 0x11, 2, nullptr, nullptr, S::Keyword},
      {"Darkness", &K::Darkness, c::kLevels1To15, kNoDefault, 0x12, 1, nullptr, nullptr,
       S::Keyword},
      {"UpwardOffset", &K::UpwardOffset, c::kLevels0To15, kNoDefault, 0x13, 8, "upward-offset",
       "Upward offset", S::Keyword},
  }};
}();

// 'OptionOf()' - The row of the option that fills 'field'.
constexpr const PrinterOption &OptionOf(ChoiceField field) {
  for (const PrinterOption &option : kPrinterOptions)
    if (option.field == field)
      return option;
  return kPrinterOptions[0]; // every field has a row (checked below)
}

namespace option_checks {

// 'EveryRowOnce()' - Every row fills a field of its own and has a line of
// the self-test label's list of its own, and its default is one of its
// choices, or none for an option offered as keywords ("printer-setting").
constexpr bool EveryRowOnce() {
  for (size_t i = 0; i < kPrinterOptions.size(); ++i)
    for (size_t j = 0; j < i; ++j)
      if (kPrinterOptions[i].field == kPrinterOptions[j].field ||
          kPrinterOptions[i].selfTestLine == kPrinterOptions[j].selfTestLine)
        return false;
  return std::ranges::all_of(kPrinterOptions, [](const PrinterOption &o) {
    return o.selfTestLine >= 1 && o.selfTestLine <= int(kPrinterOptions.size()) &&
           o.defaultChoice >= kNoDefault && o.defaultChoice < int(o.choices.size()) &&
           (o.defaultChoice != kNoDefault || o.ippSyntax == IppSyntax::Keyword);
  });
}
static_assert(sizeof(ChoiceKeywords) == kPrinterOptions.size() * sizeof(std::optional<std::string>),
              "one row for every field of ChoiceKeywords");
static_assert(EveryRowOnce());

} // namespace option_checks
