// The printer command stream of one page: settings, raster bands, feed, cut.
#pragma once

#include "ppd_settings.h"

#include <cups/raster.h>

#include <cstdint>
#include <span>

inline constexpr int kBandRows = 24;            // rows of one GS v 0 raster band
inline constexpr int kMaxBandWidthBytes = 65535; // the band header holds the width in 16 bits

enum class PageOutcome {
  Printed,      // the page's stream went to the printer
  NotPrintable, // the page cannot be expressed in the printer's commands; skipped
  OutputFailed, // the printer output is gone; the job cannot go on
};

// 'ProcessData()' - Bring the packed page into the printer's orientation and
// polarity and send its command stream once per copy. 'pDataBuf' holds the
// page (1 = black on a 1-bit page, 0 = black on the others) and may be
// inverted in place.
PageOutcome ProcessData(const JobSettings &settings, const cups_page_header2_t &header,
                        std::span<uint8_t> pDataBuf, int biWidth, int biHeight);

// 'ChoiceNumber()' - A choice keyword read as a decimal number: leading
// blanks and a sign are accepted, digits are taken up to the first other
// character, and a keyword without digits reads as 0.
long long ChoiceNumber(const std::string &keyword);
