// The job's choices of the printer's PPD options, read once through libcups.
#pragma once

#include "raster_input.h"
#include "settings.h"

#include <optional>
#include <string>

// 'OpenPpd()' - Open the printer's PPD file; on failure log libcups' reason
// and return null.
PpdFile OpenPpd(const char *path);

// 'MarkJobOptions()' - Mark the PPD's defaults, then the job's own choices.
void MarkJobOptions(ppd_file_t *ppd, const JobOptions &options);

// 'ReadChoiceKeywords()' - The marked choice of every option the printer
// takes: the job's own choice, else the PPD default; empty when the option
// has neither.
ChoiceKeywords ReadChoiceKeywords(ppd_file_t *ppd);

// The page size marked in the PPD, in dots of the printer (203 dpi).
struct PageSizeDots {
  int width = 0;
  int height = 0;
  std::string error; // why the printer cannot take the size; empty when it can
};

// 'MarkedPageSize()' - The size of the page the job's "PageSize" (or the
// PPD's default) names, custom sizes included. A custom size must lie in the
// PPD's range of custom sizes and every size within the filter's page limits;
// otherwise, or when nothing is marked, 'error' says why.
PageSizeDots MarkedPageSize(ppd_file_t *ppd, const JobOptions &options);
