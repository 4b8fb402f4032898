#include "settings_map.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr OptionChoice kPrinterSetting = {nullptr, "printer-setting", "Printer's setting"};

// 'PpdChoice()' - The PPD choice for a value the option takes, as IPP text;
// none for the printer's own setting.
std::optional<std::string> PpdChoice(const PrinterOption &option, const std::string &value) {
  for (const OptionChoice &choice : option.choices)
    if (value == choice.ipp)
      return std::string(choice.ppd);
  return std::nullopt;
}

} // namespace

std::vector<OptionChoice> OfferedChoices(const PrinterOption &option) {
  std::vector<OptionChoice> choices;
  choices.reserve(option.choices.size() + 1);
  if (option.defaultChoice == kNoDefault)
    choices.push_back(kPrinterSetting);
  for (const OptionChoice &choice : option.choices)
    choices.push_back(choice);
  return choices;
}

const char *DefaultValue(const PrinterOption &option) {
  if (option.defaultChoice == kNoDefault)
    return kPrinterSetting.ipp;
  return option.choices[static_cast<size_t>(option.defaultChoice)].ipp;
}

std::optional<std::string> SupportedValue(const PrinterOption &option, ipp_attribute_t *attr) {
  if (!attr || ippGetCount(attr) != 1)
    return std::nullopt;
  std::string value;
  switch (option.ippSyntax) {
  case IppSyntax::Keyword:
    if (ippGetValueTag(attr) != IPP_TAG_KEYWORD)
      return std::nullopt;
    if (const char *keyword = ippGetString(attr, 0, nullptr))
      value = keyword;
    break;
  case IppSyntax::Boolean:
    if (ippGetValueTag(attr) != IPP_TAG_BOOLEAN)
      return std::nullopt;
    value = ippGetBoolean(attr, 0) ? "true" : "false";
    break;
  case IppSyntax::Integer:
    if (ippGetValueTag(attr) != IPP_TAG_INTEGER)
      return std::nullopt;
    value = std::to_string(ippGetInteger(attr, 0));
    break;
  }
  for (const OptionChoice &choice : OfferedChoices(option))
    if (value == choice.ipp)
      return value;
  return std::nullopt;
}

void AddVendorAttributes(pappl_pr_driver_data_t &data, ipp_t *attrs) {
  data.num_vendor = 0;
  for (const PrinterOption &option : VendorOptions()) {
    data.vendor[data.num_vendor++] = option.ippName;
    const std::string defaultName = std::string(option.ippName) + "-default";
    const std::string supportedName = std::string(option.ippName) + "-supported";
    const std::vector<OptionChoice> choices = OfferedChoices(option);
    switch (option.ippSyntax) {
    case IppSyntax::Keyword: {
      std::vector<const char *> keywords;
      for (const OptionChoice &choice : choices)
        keywords.push_back(choice.ipp);
      ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, defaultName.c_str(), nullptr,
                   DefaultValue(option));
      ippAddStrings(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, supportedName.c_str(),
                    static_cast<int>(keywords.size()), nullptr, keywords.data());
      break;
    }
    case IppSyntax::Boolean:
      ippAddBoolean(attrs, IPP_TAG_PRINTER, defaultName.c_str(),
                    !strcmp(DefaultValue(option), "true"));
      ippAddBoolean(attrs, IPP_TAG_PRINTER, supportedName.c_str(), 1);
      break;
    case IppSyntax::Integer: {
      // Every value, not a rangeOfInteger: PAPPL's web page shows a list of
      // integers as a list to choose from, a range as a free number field.
      std::vector<int> values;
      for (const OptionChoice &choice : choices)
        values.push_back(atoi(choice.ipp));
      ippAddInteger(attrs, IPP_TAG_PRINTER, IPP_TAG_INTEGER, defaultName.c_str(),
                    atoi(DefaultValue(option)));
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
  constexpr int highest = kDarknessLevels - 1;
  return std::clamp((std::min(percent, 100) * highest + 50) / 100, 1, highest);
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
  for (const PrinterOption &option : VendorOptions()) {
    std::optional<std::string> value;
    if (ipp_attribute_t *jobValue = job ? papplJobGetAttribute(job, option.ippName) : nullptr) {
      value = SupportedValue(option, jobValue);
      if (!value) {
        // As the log shows it: the client's text on one line.
        char text[80];
        ippAttributeString(jobValue, text, sizeof text);
        for (char &c : text)
          if (c && (static_cast<unsigned char>(c) < 0x20 || c == 0x7f))
            c = '?';
        ignored.push_back(std::string(option.ippName) + "=" + text);
      }
    }
    if (!value) {
      const std::string defaultName = std::string(option.ippName) + "-default";
      value =
          SupportedValue(option, ippFindAttribute(printerAttrs, defaultName.c_str(), IPP_TAG_ZERO));
    }
    choices.*option.field = PpdChoice(option, value.value_or(DefaultValue(option)));
  }
  if (std::optional<int> level =
          DarknessLevel(options.darkness_configured + options.print_darkness))
    choices.Darkness = std::to_string(*level);
  if (std::optional<int> level = SpeedLevel(options.print_speed))
    choices.PrintSpeed = std::to_string(*level);
  return choices;
}
