#include "settings.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace {

bool IsChoice(const std::optional<std::string> &choice, std::string_view keyword) {
  return choice && std::equal(choice->begin(), choice->end(), keyword.begin(), keyword.end(),
                              [](char a, char b) {
                                return std::tolower(static_cast<unsigned char>(a)) ==
                                       std::tolower(static_cast<unsigned char>(b));
                              });
}

// 'ChoicePosition()' - The position of the job's choice among the option's
// choices; the default's when the job has none or one the option does not
// have.
int ChoicePosition(const ChoiceKeywords &c, ChoiceField field) {
  const PrinterOption &option = OptionOf(field);
  for (size_t i = 0; i < option.choices.size(); ++i)
    if (IsChoice(c.*field, option.choices[i].ppd))
      return static_cast<int>(i);
  return option.defaultChoice;
}

// The enumerations' values are these options' choices, one each, and a
// choice the printer does not know reads as the default.
constexpr bool HasChoices(ChoiceField field, size_t count) {
  return OptionOf(field).choices.size() == count && OptionOf(field).defaultChoice != kNoDefault;
}
static_assert(HasChoices(&ChoiceKeywords::Dithering, 4) && HasChoices(&ChoiceKeywords::Origin, 4) &&
              HasChoices(&ChoiceKeywords::Cutting, 3) &&
              HasChoices(&ChoiceKeywords::MirrorImage, 2) &&
              HasChoices(&ChoiceKeywords::NegativeImage, 2));

// 'ChoiceNumber()' - A choice keyword read as a decimal number: leading
// blanks and a sign are accepted, digits are taken up to the first other
// character, and a keyword without digits reads as 0.
long long ChoiceNumber(const std::string &keyword) {
  // strtoll has the decimal-prefix rule and saturates instead of overflowing.
  return strtoll(keyword.c_str(), nullptr, 10);
}

} // namespace

JobSettings ParseSettings(const ChoiceKeywords &c) {
  JobSettings s;
  s.dithering = static_cast<GrayConversion>(ChoicePosition(c, &ChoiceKeywords::Dithering));
  s.origin = static_cast<Origin>(ChoicePosition(c, &ChoiceKeywords::Origin));
  s.mirror = ChoicePosition(c, &ChoiceKeywords::MirrorImage) == kTrueChoice;
  s.negative = ChoicePosition(c, &ChoiceKeywords::NegativeImage) == kTrueChoice;

  for (size_t i = 0; i < kSettingsCommands.size(); ++i)
    if (const std::optional<std::string> &value = c.*kSettingsCommands[i].field)
      s.commands[i] = SettingValue{*value, static_cast<uint8_t>(ChoiceNumber(*value))};

  // Choices beyond the feed table feed as far as its largest one.
  if (c.FeedAfterPrinting)
    s.feedChoice = static_cast<int>(
        std::clamp<long long>(ChoiceNumber(*c.FeedAfterPrinting), 0, kLargestFeedChoice));

  s.cutting = static_cast<Cutting>(ChoicePosition(c, &ChoiceKeywords::Cutting));
  return s;
}
