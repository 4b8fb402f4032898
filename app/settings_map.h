// The printer's settings as IPP attributes: the standard darkness and speed,
// and one vendor attribute for every other choice of the printer's PPD. Each
// becomes the PPD's choice keyword the engine reads.
#pragma once

#include "settings.h"

#include <pappl/pappl.h>

#include <optional>
#include <span>
#include <string>
#include <vector>

// How a vendor attribute's values look in IPP.
enum class VendorSyntax {
  Keyword, // one of its choices
  Boolean, // true / false: the PPD's "True" / "False"
  Range,   // an integer from 'low' to 'high': the PPD's number; offered as
           // the list of every value, which the web page shows as a list
};

// One IPP keyword and the PPD choice it stands for; no choice means the
// printer keeps its own setting and is sent no command. The label is what
// the web page shows for it.
struct VendorChoice {
  const char *keyword;
  const char *ppdChoice;
  const char *label;
};

struct VendorAttribute {
  const char *name;                                // the IPP attribute, "-default" and "-supported"
  const char *label;                               // the web page's name for it
  std::optional<std::string> ChoiceKeywords::*ppd; // the PPD option it sets
  VendorSyntax syntax;
  std::span<const VendorChoice> choices; // Keyword
  int low = 0, high = 0;                 // Range
  const char *defaultValue = "";         // as IPP text: a keyword, "false", a number
};

// Every vendor attribute, in the order the web page shows them.
std::span<const VendorAttribute> VendorAttributes();

// 'SupportedValue()' - The value of 'attr' as IPP text when the printer takes
// it for 'vendor': one value, of the attribute's syntax, among its choices or
// in its range. Nothing for any other value, or for no attribute.
std::optional<std::string> SupportedValue(const VendorAttribute &vendor, ipp_attribute_t *attr);

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

// The speeds offered: 1 to 8 inches per second, one per PrintSpeed level.
inline constexpr int kSpeedStep = 2540;
inline constexpr int kSpeedLevels = 8;
// The darkness levels offered: "none" (0 %) and Darkness 1 to 15.
inline constexpr int kDarknessLevels = 16;

// 'JobChoiceKeywords()' - The PPD choice keywords a job asks for: its vendor
// attributes, its darkness and its speed. Each vendor attribute takes the
// job's own value (none without a job), else the printer's NAME-default in
// 'printerAttrs', else the built-in default: whichever is first a value the
// printer takes. The job's values that were not taken go to 'ignored' as
// "NAME=VALUE".
ChoiceKeywords JobChoiceKeywords(const pappl_pr_options_t &options, pappl_job_t *job,
                                 ipp_t *printerAttrs, std::vector<std::string> &ignored);
