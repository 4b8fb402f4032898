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

} // namespace

long long ChoiceNumber(const std::string &keyword) {
  // strtoll has the decimal-prefix rule and saturates instead of overflowing.
  return strtoll(keyword.c_str(), nullptr, 10);
}

JobSettings ParseSettings(const ChoiceKeywords &c) {
  JobSettings s;
  if (IsChoice(c.Dithering, "Threshold"))
    s.dithering = GrayConversion::Threshold;
  else if (IsChoice(c.Dithering, "OrderDithering"))
    s.dithering = GrayConversion::OrderDithering;
  else if (IsChoice(c.Dithering, "ErrorDiffusion"))
    s.dithering = GrayConversion::ErrorDiffusion;

  if (IsChoice(c.Origin, "Rotation90"))
    s.origin = Origin::Rotation90;
  else if (IsChoice(c.Origin, "Rotation180"))
    s.origin = Origin::Rotation180;
  else if (IsChoice(c.Origin, "Rotation270"))
    s.origin = Origin::Rotation270;

  s.mirror = IsChoice(c.MirrorImage, "True");
  s.negative = IsChoice(c.NegativeImage, "True");

  const std::optional<std::string> *values[] = {&c.PrintPressure,      &c.PrintHeaderHeatingTemp,
                                                &c.PrintHeaderOffset,  &c.EdageEnhance,
                                                &c.EdageEnhanceLength, &c.PrintSpeed,
                                                &c.Darkness,           &c.UpwardOffset};
  static_assert(std::size(values) == kSettingsCommands.size());
  for (size_t i = 0; i < kSettingsCommands.size(); ++i)
    if (*values[i])
      s.commands[i] = SettingValue{**values[i], static_cast<uint8_t>(ChoiceNumber(**values[i]))};

  // Choices beyond the feed table feed as far as its largest one.
  if (c.FeedAfterPrinting)
    s.feedChoice = static_cast<int>(
        std::clamp<long long>(ChoiceNumber(*c.FeedAfterPrinting), 0, kLargestFeedChoice));

  if (IsChoice(c.Cutting, "1"))
    s.cutting = Cutting::EveryPage;
  else if (IsChoice(c.Cutting, "2"))
    s.cutting = Cutting::EndOfJob;
  return s;
}
