#include "web_strings.h"

#include "command_stream.h"
#include "driver.h"
#include "printer_model.h"
#include "settings_map.h"

#include <cstdio>

namespace {

// The languages PAPPL 1.3 brings its own strings for. A browser that asks
// for one of them finds the printer's names in English.
constexpr const char *kLanguages[] = {"de", "en", "es", "fr", "it", "ja", "nb-NO", "pl", "tr"};

constexpr double kDotsPerMm = kDotsPerInch / 25.4;

// 'Quoted()' - Text between double quotes, as strings files and JavaScript
// take it.
std::string Quoted(const std::string &text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\')
      out += '\\';
    out += c;
  }
  return out + '"';
}

// 'Put()' - One line of a strings file.
void Put(std::string &text, const std::string &key, const char *value) {
  text += Quoted(key) + " = " + Quoted(value) + ";\n";
}

} // namespace

std::string WebStrings() {
  std::string text;
  for (const PrinterOption &option : VendorOptions()) {
    Put(text, option.ippName, option.ippLabel);
    if (option.ippSyntax == IppSyntax::Keyword)
      for (const OptionChoice &choice : OfferedChoices(option))
        Put(text, std::string(option.ippName) + "." + choice.ipp, choice.label);
  }
  for (const MediaSize &size : LabelMedia())
    Put(text, std::string("media.") + size.name, size.label);
  return text;
}

void AddWebStrings(pappl_system_t *system, const std::string &strings) {
  for (const char *language : kLanguages)
    papplSystemAddStringsData(
        system, (std::string("/strings/label-printer-app-") + language + ".strings").c_str(),
        language, strings.c_str());
}

std::string FooterHtml() {
  // The choices by the form field that shows them and their values.
  std::string names = "{\"print-darkness\": {\"0\": \"0% (printer's setting)\"}, "
                      "\"print-speed\": {\"0\": \"Auto (printer's setting)\"}, "
                      "\"feed-after-printing\": {\"0\": \"No feed\"";
  for (int n = 1; n <= kLargestFeedChoice; ++n) {
    char label[64];
    snprintf(label, sizeof label, "%d dots (%.1f mm)", FeedDots(n), FeedDots(n) / kDotsPerMm);
    names += ", " + Quoted(std::to_string(n)) + ": " + Quoted(label);
  }
  names += "}}";
  return "Label printer application for 203 dpi thermal label and receipt printers.\n"
         "<noscript>Darkness 0% and print speed Auto keep the printer's own settings.</noscript>\n"
         "<script>\n"
         "(function () {\n"
         "  var names = " +
         names +
         ";\n"
         "  Object.keys(names).forEach(function (field) {\n"
         "    document.querySelectorAll('select[name=\"' + field + '\"] option')\n"
         "      .forEach(function (option) {\n"
         "        if (names[field][option.value]) option.textContent = "
         "names[field][option.value];\n"
         "      });\n"
         "  });\n"
         "})();\n"
         "</script>";
}
