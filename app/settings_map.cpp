#include "settings_map.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// The levels of the printer's own settings: "printer-setting" sends no
// command, a number sends it with that level.
constexpr const char *kLevelNames[] = {"0", "1", "2",  "3",  "4",  "5",  "6",  "7",
                                       "8", "9", "10", "11", "12", "13", "14", "15"};
constexpr int kHighestLevel = 15;

// 'LevelChoices()' - "printer-setting", then the levels Lowest to 15.
template <int Lowest> constexpr auto LevelChoices() {
  std::array<VendorChoice, kHighestLevel - Lowest + 2> choices{};
  choices[0] = {"printer-setting", nullptr};
  for (int n = Lowest; n <= kHighestLevel; ++n)
    choices[n - Lowest + 1] = {kLevelNames[n], kLevelNames[n]};
  return choices;
}
constexpr auto kLevels0To15 = LevelChoices<0>();
constexpr auto kLevels1To15 = LevelChoices<1>();
constexpr VendorChoice kOnOff[] = {{"printer-setting", nullptr}, {"off", "0"}, {"on", "1"}};
constexpr VendorChoice kGrayConversion[] = {
    {"edge-aware", "None"},
    {"threshold", "Threshold"},
    {"ordered-dither", "OrderDithering"},
    {"error-diffusion", "ErrorDiffusion"},
};
constexpr VendorChoice kOrigin[] = {
    {"rotation-0", "Rotation0"},
    {"rotation-90", "Rotation90"},
    {"rotation-180", "Rotation180"},
    {"rotation-270", "Rotation270"},
};
constexpr VendorChoice kCutting[] = {
    {"none", "0"},
    {"after-every-page", "1"},
    {"end-of-job", "2"},
};

using K = ChoiceKeywords;
const VendorAttribute kVendorAttributes[] = {
    {"gray-conversion", &K::Dithering, VendorSyntax::Keyword, kGrayConversion, 0, 0, "edge-aware"},
    {"label-origin", &K::Origin, VendorSyntax::Keyword, kOrigin, 0, 0, "rotation-0"},
    {"mirror-image", &K::MirrorImage, VendorSyntax::Boolean, {}, 0, 0, "false"},
    {"negative-image", &K::NegativeImage, VendorSyntax::Boolean, {}, 0, 0, "false"},
    {"feed-after-printing",
     &K::FeedAfterPrinting,
     VendorSyntax::Range,
     {},
     0,
     kLargestFeedChoice,
     "0"},
    {"cutting", &K::Cutting, VendorSyntax::Keyword, kCutting, 0, 0, "none"},
    {"print-head-pressure", &K::PrintPressure, VendorSyntax::Keyword, kLevels1To15, 0, 0,
     "printer-setting"},
    {"print-head-temperature", &K::PrintHeaderHeatingTemp, VendorSyntax::Keyword, kLevels1To15, 0,
     0, "printer-setting"},
    {"print-head-offset", &K::PrintHeaderOffset, VendorSyntax::Keyword, kLevels0To15, 0, 0,
     "printer-setting"},
    {"edge-enhancement", &K::EdageEnhance, VendorSyntax::Keyword, kOnOff, 0, 0, "printer-setting"},
    {"edge-enhancement-length", &K::EdageEnhanceLength, VendorSyntax::Keyword, kLevels0To15, 0, 0,
     "printer-setting"},
    {"upward-offset", &K::UpwardOffset, VendorSyntax::Keyword, kLevels0To15, 0, 0,
     "printer-setting"},
};

// 'PpdChoice()' - The PPD choice for an attribute's value as IPP text; none
// for the printer's own setting and for a value the attribute does not have.
std::optional<std::string> PpdChoice(const VendorAttribute &attr, const char *value) {
  switch (attr.syntax) {
  case VendorSyntax::Keyword:
    for (const VendorChoice &choice : attr.choices)
      if (!strcmp(choice.keyword, value))
        return choice.ppdChoice ? std::optional<std::string>(choice.ppdChoice) : std::nullopt;
    return std::nullopt;
  case VendorSyntax::Boolean:
    return std::string(!strcmp(value, "true") ? "True" : "False");
  case VendorSyntax::Range: {
    char *end = nullptr;
    const long n = strtol(value, &end, 10);
    if (end == value || *end || n < attr.low || n > attr.high)
      return std::nullopt;
    return std::to_string(n);
  }
  }
  return std::nullopt;
}

} // namespace

std::span<const VendorAttribute> VendorAttributes() { return kVendorAttributes; }

void AddVendorAttributes(pappl_pr_driver_data_t &data, ipp_t *attrs) {
  data.num_vendor = 0;
  for (const VendorAttribute &attr : kVendorAttributes) {
    data.vendor[data.num_vendor++] = attr.name;
    const std::string defaultName = std::string(attr.name) + "-default";
    const std::string supportedName = std::string(attr.name) + "-supported";
    switch (attr.syntax) {
    case VendorSyntax::Keyword: {
      std::vector<const char *> keywords;
      for (const VendorChoice &choice : attr.choices)
        keywords.push_back(choice.keyword);
      ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, defaultName.c_str(), nullptr,
                   attr.defaultValue);
      ippAddStrings(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, supportedName.c_str(),
                    static_cast<int>(keywords.size()), nullptr, keywords.data());
      break;
    }
    case VendorSyntax::Boolean:
      ippAddBoolean(attrs, IPP_TAG_PRINTER, defaultName.c_str(),
                    !strcmp(attr.defaultValue, "true"));
      ippAddBoolean(attrs, IPP_TAG_PRINTER, supportedName.c_str(), 1);
      break;
    case VendorSyntax::Range:
      ippAddInteger(attrs, IPP_TAG_PRINTER, IPP_TAG_INTEGER, defaultName.c_str(),
                    atoi(attr.defaultValue));
      ippAddRange(attrs, IPP_TAG_PRINTER, supportedName.c_str(), attr.low, attr.high);
      break;
    }
  }
}

// Darkness: IPP gives 0 to 100 % (printer-darkness-configured plus the
// job's print-darkness). 0 % keeps the printer's own darkness; 1 to 100 %
// spread evenly over Darkness 1 to 15, round(percent x 15 / 100) and at
// least 1, so that each of the web page's 16 steps (0, 6, 13, ... 100 %)
// is one level.
std::optional<int> DarknessLevel(int percent) {
  if (percent <= 0)
    return std::nullopt;
  return std::clamp((std::min(percent, 100) * 15 + 50) / 100, 1, 15);
}

// Speed: IPP gives hundredths of a millimetre per second. 0 (automatic)
// keeps the printer's own speed; PrintSpeed n is offered as n inches per
// second (n x 2540), and any other speed takes the nearest level.
std::optional<int> SpeedLevel(int hundredthsMmPerSecond) {
  if (hundredthsMmPerSecond <= 0)
    return std::nullopt;
  return std::clamp((hundredthsMmPerSecond + kSpeedStep / 2) / kSpeedStep, 1, kSpeedLevels);
}

ChoiceKeywords JobChoiceKeywords(const pappl_pr_options_t &options, ipp_t *printerAttrs) {
  ChoiceKeywords choices;
  for (const VendorAttribute &attr : kVendorAttributes) {
    const char *value = cupsGetOption(attr.name, options.num_vendor, options.vendor);
    char printerDefault[256] = "";
    if (!value) {
      const std::string defaultName = std::string(attr.name) + "-default";
      if (ipp_attribute_t *found =
              ippFindAttribute(printerAttrs, defaultName.c_str(), IPP_TAG_ZERO))
        ippAttributeString(found, printerDefault, sizeof printerDefault);
      value = printerDefault[0] ? printerDefault : attr.defaultValue;
    }
    choices.*attr.ppd = PpdChoice(attr, value);
  }
  if (std::optional<int> level =
          DarknessLevel(options.darkness_configured + options.print_darkness))
    choices.Darkness = std::to_string(*level);
  if (std::optional<int> level = SpeedLevel(options.print_speed))
    choices.PrintSpeed = std::to_string(*level);
  return choices;
}
