#include "ppd_settings.h"

#include <cmath>
#include <cstdio>

void PpdCloser::operator()(ppd_file_t *ppd) const { ppdClose(ppd); }

PpdFile OpenPpd(const char *path) {
  PpdFile ppd(ppdOpenFile(path)); // libcups reports a missing path itself
  if (!ppd) {
    int linenum = 0;
    ppd_status_t status = ppdLastError(&linenum);
    fprintf(stderr, "DEBUG: %s on line %d.\n", ppdErrorString(status), linenum);
    // The job log shows the reason without debug logging, too.
    if (path == nullptr)
      fprintf(stderr, "ERROR: No PPD file: the PPD environment variable is not set.\n");
    else
      fprintf(stderr, "ERROR: Unable to open the PPD file \"%s\": %s on line %d.\n", path,
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
  ChoiceKeywords s;
  s.Dithering = MarkedChoice(ppd, "Dithering");
  s.MirrorImage = MarkedChoice(ppd, "MirrorImage");
  s.NegativeImage = MarkedChoice(ppd, "NegativeImage");
  s.Origin = MarkedChoice(ppd, "Origin");
  s.PrintPressure = MarkedChoice(ppd, "PrintPressure");
  s.PrintHeaderHeatingTemp = MarkedChoice(ppd, "PrintHeaderHeatingTemp");
  s.PrintHeaderOffset = MarkedChoice(ppd, "PrintHeaderOffset");
  s.EdageEnhance = MarkedChoice(ppd, "EdageEnhance");
  s.EdageEnhanceLength = MarkedChoice(ppd, "EdageEnhanceLength");
  s.PrintSpeed = MarkedChoice(ppd, "PrintSpeed");
  s.Darkness = MarkedChoice(ppd, "Darkness");
  s.UpwardOffset = MarkedChoice(ppd, "UpwardOffset");
  s.FeedAfterPrinting = MarkedChoice(ppd, "FeedAfterPrinting");
  s.Cutting = MarkedChoice(ppd, "Cutting");
  return s;
}

std::optional<PageSizeDots> MarkedPageSize(ppd_file_t *ppd) {
  const ppd_size_t *size = ppdPageSize(ppd, nullptr);
  if (size == nullptr || size->width <= 0 || size->length <= 0)
    return std::nullopt;
  // Points are 1/72 inch; the printer has 203 dots to the inch.
  auto dots = [](float points) { return static_cast<int>(std::lround(points * 203.0 / 72.0)); };
  return PageSizeDots{dots(size->width), dots(size->length)};
}
