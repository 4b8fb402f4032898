#include "ppd_settings.h"

#include "job_log.h"
#include "log_text.h"
#include "page_limits.h"

#include <cmath>
#include <cstdio>
#include <strings.h>

void PpdCloser::operator()(ppd_file_t *ppd) const { ppdClose(ppd); }

PpdFile OpenPpd(const char *path) {
  PpdFile ppd(ppdOpenFile(path)); // libcups reports a missing path itself
  if (!ppd) {
    int linenum = 0;
    ppd_status_t status = ppdLastError(&linenum);
    LogLine(LogLevel::Debug, "%s on line %d.\n", ppdErrorString(status), linenum);
    // The job log shows the reason without debug logging, too.
    if (path == nullptr)
      LogLine(LogLevel::Failure, "No PPD file: the PPD environment variable is not set.\n");
    else
      LogLine(LogLevel::Failure, "Unable to open the PPD file \"%s\": %s on line %d.\n", path,
              ppdErrorString(status), linenum);
  }
  return ppd;
}

void MarkJobOptions(ppd_file_t *ppd, const JobOptions &options) {
  ppdMarkDefaults(ppd);
  cupsMarkOptions(ppd, options.count(), options.data());
}

static std::optional<std::string> MarkedChoice(ppd_file_t *ppd, const char *keyword) {
  ppd_choice_t *choice = ppdFindMarkedChoice(ppd, keyword);
  if (!choice)
    return std::nullopt;
  return std::string(choice->choice);
}

ChoiceKeywords ReadChoiceKeywords(ppd_file_t *ppd) {
  ChoiceKeywords choices;
  for (const PrinterOption &option : kPrinterOptions)
    choices.*option.field = MarkedChoice(ppd, option.keyword);
  return choices;
}

namespace {

// Points are 1/72 inch.
double Dots(double points) { return points * kDotsPerInch / 72.0; }

// Points in millimetres to a tenth, as "%g" shows them: "104.1", "20".
std::string Millimetres(double points) {
  char text[32];
  snprintf(text, sizeof text, "%g", std::round(points * 254.0 / 72.0) / 10.0);
  return text;
}

// The job's words for the custom size it asks for, as the job log may show
// them: "Custom.104x100000mm".
std::string AskedCustomSize(const JobOptions &options) {
  for (const char *name : {"PageSize", "PageRegion", "media"}) {
    const char *value = cupsGetOption(name, options.count(), options.data());
    if (value != nullptr && strncasecmp(value, "Custom.", 7) == 0)
      return Printable(std::string_view(value).substr(0, 40));
  }
  return "Custom";
}

} // namespace

PageSizeDots MarkedPageSize(ppd_file_t *ppd, const JobOptions &options) {
  PageSizeDots page;
  const ppd_size_t *size = ppdPageSize(ppd, nullptr);
  if (size == nullptr) {
    page.error = "The PPD names no page size to draw the label on.";
    return page;
  }
  // The page in whole dots, as the label is drawn; libcups leaves a custom
  // size it cannot read at 0 x 0 and reads "1e40" as infinite.
  const double width = std::round(Dots(size->width));
  const double height = std::round(Dots(size->length));
  const bool measured = std::isfinite(width) && std::isfinite(height) && width > 0 && height > 0;
  const bool custom = strcmp(size->name, "Custom") == 0;
  std::string asked = "\"" + (custom ? AskedCustomSize(options) : Printable(size->name)) + "\"";
  if (measured)
    asked += " (" + Millimetres(size->width) + " x " + Millimetres(size->length) + " mm)";

  // A custom size is held to the PPD's range in the dots the printer gets,
  // so that a size printed as the range's end is taken: 10 mm is 28.346
  // points, under the PPD's 28.35, yet both are 80 rows.
  if (custom) {
    const float *min = ppd->custom_min, *max = ppd->custom_max;
    if (!measured || width < std::round(Dots(min[0])) || width > std::round(Dots(max[0])) ||
        height < std::round(Dots(min[1])) || height > std::round(Dots(max[1]))) {
      page.error = "The page size " + asked +
                   " is not one the printer takes: " + Millimetres(min[0]) + " to " +
                   Millimetres(max[0]) + " mm wide and " + Millimetres(min[1]) + " to " +
                   Millimetres(max[1]) + " mm long.";
      return page;
    }
  }
  if (!measured || width > kMaxRasterWidth || width * height > double(kMaxRasterPixels)) {
    page.error = "The page size " + asked + " is not one the filter takes: at least one dot and" +
                 " at most " + std::to_string(kMaxRasterWidth) + " dots wide, at most " +
                 std::to_string(kMaxRasterPixels) + " dots in all.";
    return page;
  }
  page.width = static_cast<int>(width);
  page.height = static_cast<int>(height);
  return page;
}
