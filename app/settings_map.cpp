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

constexpr const char *kPrinterSetting = "Printer's setting";

// 'LevelChoices()' - "printer-setting", then the levels Lowest to 15.
template <int Lowest> constexpr auto LevelChoices() {
  std::array<VendorChoice, kHighestLevel - Lowest + 2> choices{};
  choices[0] = {"printer-setting", nullptr, kPrinterSetting};
  for (int n = Lowest; n <= kHighestLevel; ++n)
    choices[n - Lowest + 1] = {kLevelNames[n], kLevelNames[n], kLevelNames[n]};
  return choices;
}
constexpr auto kLevels0To15 = LevelChoices<0>();
constexpr auto kLevels1To15 = LevelChoices<1>();
constexpr VendorChoice kOnOff[] = {
    {"printer-setting", nullptr, kPrinterSetting}, {"off", "0", "Off"}, {"on", "1", "On"}};
constexpr VendorChoice kGrayConversion[] = {
    {"edge-aware", "None", "Edge-aware"},
    {"threshold", "Threshold", "Threshold"},
    {"ordered-dither", "OrderDithering", "Ordered dither"},
    {"error-diffusion", "ErrorDiffusion", "Error diffusion"},
};
constexpr VendorChoice kOrigin[] = {
    {"rotation-0", "Rotation0", "0°"},
    {"rotation-90", "Rotation90", "90°"},
    {"rotation-180", "Rotation180", "180°"},
    {"rotation-270", "Rotation270", "270° (printed as 90°)"},
};
constexpr VendorChoice kCutting[] = {
    {"none", "0", "No cut"},
    {"after-every-page", "1", "After every page"},
    {"end-of-job", "2", "At the end of the job"},
};

using K = ChoiceKeywords;
const VendorAttribute kVendorAttributes[] = {
    {"gray-conversion", "Gray conversion", &K::Dithering, VendorSyntax::Keyword, kGrayConversion, 0,
     0, "edge-aware"},
    {"label-origin", "Label rotation", &K::Origin, VendorSyntax::Keyword, kOrigin, 0, 0,
     "rotation-0"},
    {"mirror-image", "Mirror image", &K::MirrorImage, VendorSyntax::Boolean, {}, 0, 0, "false"},
    {"negative-image",
     "Negative image (white on black)",
     &K::NegativeImage,
     VendorSyntax::Boolean,
     {},
     0,
     0,
     "false"},
    {"feed-after-printing",
     "Feed after printing",
     &K::FeedAfterPrinting,
     VendorSyntax::Range,
     {},
     0,
     kLargestFeedChoice,
     "0"},
    {"cutting", "Cutter", &K::Cutting, VendorSyntax::Keyword, kCutting, 0, 0, "none"},
    {"print-head-pressure", "Print head pressure", &K::PrintPressure, VendorSyntax::Keyword,
     kLevels1To15, 0, 0, "printer-setting"},
    {"print-head-temperature", "Print head temperature", &K::PrintHeaderHeatingTemp,
     VendorSyntax::Keyword, kLevels1To15, 0, 0, "printer-setting"},
    {"print-head-offset", "Print head offset", &K::PrintHeaderOffset, VendorSyntax::Keyword,
     kLevels0To15, 0, 0, "printer-setting"},
    {"edge-enhancement", "Edge enhancement", &K::EdageEnhance, VendorSyntax::Keyword, kOnOff, 0, 0,
     "printer-setting"},
    {"edge-enhancement-length", "Edge enhancement length", &K::EdageEnhanceLength,
     VendorSyntax::Keyword, kLevels0To15, 0, 0, "printer-setting"},
    {"upward-offset", "Upward offset", &K::UpwardOffset, VendorSyntax::Keyword, kLevels0To15, 0, 0,
     "printer-setting"},
};

// 'PpdChoice()' - The PPD choice for a value the attribute takes, as IPP
// text; none for the printer's own setting.
std::optional<std::string> PpdChoice(const VendorAttribute &attr, const std::string &value) {
  switch (attr.syntax) {
  case VendorSyntax::Keyword:
    for (const VendorChoice &choice : attr.choices)
      if (value == choice.keyword && choice.ppdChoice)
        return std::string(choice.ppdChoice);
    return std::nullopt;
  case VendorSyntax::Boolean:
    return std::string(value == "true" ? "True" : "False");
  case VendorSyntax::Range:
    return value;
  }
  return std::nullopt;
}

} // namespace

std::span<const VendorAttribute> VendorAttributes() { return kVendorAttributes; }

std::optional<std::string> SupportedValue(const VendorAttribute &vendor, ipp_attribute_t *attr) {
  if (!attr || ippGetCount(attr) != 1)
    return std::nullopt;
  switch (vendor.syntax) {
  case VendorSyntax::Keyword:
    if (ippGetValueTag(attr) != IPP_TAG_KEYWORD)
      return std::nullopt;
    for (const VendorChoice &choice : vendor.choices)
      if (!strcmp(ippGetString(attr, 0, nullptr), choice.keyword))
        return std::string(choice.keyword);
    return std::nullopt;
  case VendorSyntax::Boolean:
    if (ippGetValueTag(attr) != IPP_TAG_BOOLEAN)
      return std::nullopt;
    return std::string(ippGetBoolean(attr, 0) ? "true" : "false");
  case VendorSyntax::Range: {
    if (ippGetValueTag(attr) != IPP_TAG_INTEGER)
      return std::nullopt;
    const int n = ippGetInteger(attr, 0);
    if (n < vendor.low || n > vendor.high)
      return std::nullopt;
    return std::to_string(n);
  }
  }
  return std::nullopt;
}

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
    case VendorSyntax::Range: {
      // Every value, not a rangeOfInteger: PAPPL's web page shows a list of
      // integers as a list to choose from, a range as a free number field.
      std::vector<int> values;
      for (int n = attr.low; n <= attr.high; ++n)
        values.push_back(n);
      ippAddInteger(attrs, IPP_TAG_PRINTER, IPP_TAG_INTEGER, defaultName.c_str(),
                    atoi(attr.defaultValue));
      ippAddIntegers(attrs, IPP_TAG_PRINTER, IPP_TAG_INTEGER, supportedName.c_str(),
                     static_cast<int>(values.size()), values.data());
      break;
    }
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

ChoiceKeywords JobChoiceKeywords(const pappl_pr_options_t &options, pappl_job_t *job,
                                 ipp_t *printerAttrs, std::vector<std::string> &ignored) {
  ChoiceKeywords choices;
  for (const VendorAttribute &attr : kVendorAttributes) {
    std::optional<std::string> value;
    if (ipp_attribute_t *jobValue = job ? papplJobGetAttribute(job, attr.name) : nullptr) {
      value = SupportedValue(attr, jobValue);
      if (!value) {
        // As the log shows it: the client's text on one line.
        char text[80];
        ippAttributeString(jobValue, text, sizeof text);
        for (char &c : text)
          if (c && (static_cast<unsigned char>(c) < 0x20 || c == 0x7f))
            c = '?';
        ignored.push_back(std::string(attr.name) + "=" + text);
      }
    }
    if (!value) {
      const std::string defaultName = std::string(attr.name) + "-default";
      value =
          SupportedValue(attr, ippFindAttribute(printerAttrs, defaultName.c_str(), IPP_TAG_ZERO));
    }
    choices.*attr.ppd = PpdChoice(attr, value.value_or(attr.defaultValue));
  }
  if (std::optional<int> level =
          DarknessLevel(options.darkness_configured + options.print_darkness))
    choices.Darkness = std::to_string(*level);
  if (std::optional<int> level = SpeedLevel(options.print_speed))
    choices.PrintSpeed = std::to_string(*level);
  return choices;
}
