// The printer command stream of one page: settings, raster bands, feed, cut.
#pragma once

#include "engine_sink.h"
#include "page_image.h"
#include "settings.h"

#include <cstdint>

inline constexpr int kBandRows = 24;             // rows of one GS v 0 raster band
inline constexpr int kMaxBandWidthBytes = 65535; // the band header holds the width in 16 bits

// GS V 0: cut the paper.
inline constexpr uint8_t kCutCommand[] = {0x1D, 0x56, 0x00};

enum class PageOutcome {
  Printed,      // the page's stream went to the printer
  NotPrintable, // the page cannot be expressed in the printer's commands; skipped
  OutputFailed, // the printer takes no more; the job cannot go on
};

// 'ProcessData()' - Bring the packed page into the printer's orientation and
// polarity and send its command stream once per copy, with its log lines and
// the dump of one copy. The page's bits may be complemented in place.
PageOutcome ProcessData(const JobSettings &settings, PackedPage &page, unsigned dwCopies,
                        const EngineSink &sink);

// 'FeedDots()' - How far a "FeedAfterPrinting" choice (0 to 13) feeds the
// paper after a page, in dots.
int FeedDots(int nFeed);
