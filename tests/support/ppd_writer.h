// Writes small PPD files for the label printer, for tests, benchmarks and
// fuzzers.
//
// The file is a minimal PPD that libcups' ppdOpenFile accepts, with one
// PickOne option per entry. What libcups 2.4 makes of the options (checked
// with ppdMarkDefaults, cupsMarkOptions and ppdFindMarkedChoice):
//  - choice keywords are taken as written, odd ones included ("tRuE", "-1",
//    "300", "abc");
//  - an option without a *Default line, or whose default is none of its
//    choices, has no marked choice unless the job options name one;
//  - a job option "Keyword=value" marks the choice whose keyword equals value
//    without regard to case.
#pragma once

#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace testsupport {

struct PpdOption {
  std::string keyword;                      // "PrintSpeed"
  std::vector<std::string> choices;         // choice keywords, in order
  std::optional<std::string> defaultChoice; // the *Default line; none if empty
};

// An option that offers only its default choice.
PpdOption Offered(std::string keyword, std::string choice);

// One such option for each entry of 'choices' (keyword to choice), in the
// map's order.
std::vector<PpdOption> OfferedDefaults(const std::map<std::string, std::string> &choices);

// The PPD text offering 'options', in their order.
std::string PpdText(std::span<const PpdOption> options);

// Writes PpdText(options) to 'path'. Returns false when the file fails.
bool WritePpdFile(const std::string &path, std::span<const PpdOption> options);

} // namespace testsupport
