// The job's choices of the printer's PPD options, read once through libcups.
#pragma once

#include "cups_handles.h"

#include <optional>
#include <string>

// The choice keyword marked for each PPD option the filter reads: the job's
// own choice, else the PPD default; empty when the option has neither.
struct JobSettings {
  std::optional<std::string> Dithering;
  std::optional<std::string> MirrorImage;
  std::optional<std::string> NegativeImage;
  std::optional<std::string> Origin;
  std::optional<std::string> PrintPressure;
  std::optional<std::string> PrintHeaderHeatingTemp;
  std::optional<std::string> PrintHeaderOffset;
  std::optional<std::string> EdageEnhance;
  std::optional<std::string> EdageEnhanceLength;
  std::optional<std::string> PrintSpeed;
  std::optional<std::string> Darkness;
  std::optional<std::string> UpwardOffset;
  std::optional<std::string> FeedAfterPrinting;
  std::optional<std::string> Cutting;
};

// 'OpenPpd()' - Open the printer's PPD file; on failure log libcups' reason
// and return null.
PpdFile OpenPpd(const char *path);

// 'MarkJobOptions()' - Mark the PPD's defaults, then the job's own choices.
void MarkJobOptions(ppd_file_t *ppd, const JobOptions &options);

// 'ReadJobSettings()' - Read the marked choice of every option the filter uses.
JobSettings ReadJobSettings(ppd_file_t *ppd);

// 'IsChoice()' - True when a marked choice exists and equals the keyword,
// ignoring letter case.
bool IsChoice(const std::optional<std::string> &choice, const char *keyword);
