#include "support/ppd_writer.h"

#include <cstdio>

namespace testsupport {

namespace {

// The printer's description: a 1-bit label printer driven by labelfilter.
constexpr const char *kPreamble = R"PPD(*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "LABELTST.PPD"
*Manufacturer: "Test"
*Product: "(Test Label Printer)"
*ModelName: "Test Label Printer"
*ShortNickName: "Test Label Printer"
*NickName: "Test Label Printer"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: False
*DefaultColorSpace: Gray
*FileSystem: False
*Throughput: "1"
*TTRasterizer: Type42
*cupsVersion: 2.4
*cupsModelNumber: 0
*cupsManualCopies: False
*cupsFilter: "application/vnd.cups-raster 0 labelfilter"
)PPD";

} // namespace

PpdOption Offered(std::string keyword, std::string choice) {
  return PpdOption{std::move(keyword), {choice}, choice};
}

std::vector<PpdOption> OfferedDefaults(const std::map<std::string, std::string> &choices) {
  std::vector<PpdOption> options;
  for (const auto &[keyword, choice] : choices)
    options.push_back(Offered(keyword, choice));
  return options;
}

std::string PpdText(std::span<const PpdOption> options) {
  std::string text = kPreamble;
  int order = 10;
  for (const PpdOption &option : options) {
    const std::string &k = option.keyword;
    text += "\n*OpenUI *" + k + "/" + k + ": PickOne\n";
    text += "*OrderDependency: " + std::to_string(order++) + " AnySetup *" + k + "\n";
    if (option.defaultChoice)
      text += "*Default" + k + ": " + *option.defaultChoice + "\n";
    for (const std::string &choice : option.choices)
      text += "*" + k + " " + choice + "/" + choice + ": \"\"\n";
    text += "*CloseUI: *" + k + "\n";
  }
  return text;
}

bool WritePpdFile(const std::string &path, std::span<const PpdOption> options) {
  const std::string text = PpdText(options);
  FILE *f = std::fopen(path.c_str(), "w");
  if (f == nullptr)
    return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok;
}

} // namespace testsupport
