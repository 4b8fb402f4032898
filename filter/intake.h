// Raster intake: a page's raster lines become a packed 1-bit page.
#pragma once

#include "engine_sink.h"
#include "page_bytes.h"
#include "page_image.h"
#include "settings.h"

#include <cups/raster.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// What a page header may ask for. The printer's head is 832 dots (104 mm)
// wide and its longest page is 1 m (7992 rows): 6.6 million pixels. The
// limits leave room far beyond that and keep the memory a page needs to
// about 420 MiB at most: a gray page needs about 2 bytes per pixel (its
// lines, which become its working image) and a colour page about 5 (its
// lines and a working image of one byte per pixel), a 1-bit page about 4
// bytes per byte of its lines.
//
// The widest page: 16384 dots is 80 inches at 203 dpi, and keeps every row
// within a GS v 0 band header.
inline constexpr unsigned kMaxPageWidth = 16384;
// The longest raster line accepted, padding included.
inline constexpr unsigned kMaxBytesPerLine = 65535;
// The most pixels of a page: 2^25, 5 m of paper 832 dots wide.
inline constexpr uint64_t kMaxPagePixels = uint64_t{1} << 25;
// The most raster data of a page, padding included: a colour page at the
// pixel limit.
inline constexpr uint64_t kMaxPageBytes = 3 * kMaxPagePixels;
// The most copies of a page, as many as CUPS allows a job by default.
inline constexpr unsigned kMaxCopies = 9999;

// 'PageHeaderProblem()' - Why a page with this header cannot be printed, or
// nothing when it can. The header's cupsHeight is no reason: a page holds the
// lines that actually arrive, and those are held to the limits as they come.
std::optional<std::string> PageHeaderProblem(const cups_page_header2_t &header);

// 'MaxPageLines()' - The most raster lines a page with this header may bring,
// printed or skipped: as many as fit in the pixel and byte limits.
uint64_t MaxPageLines(const cups_page_header2_t &header);

// 'IntakePage()' - Turn the 'y' raster lines in 'raster' into a packed page:
// a 1-bit page keeps the raster's lines and polarity (1 = black).
// 1-bit lines are the page as they stand; gray and colour pages are binarised
// into 'pDataBuf' (their lines are released once their working image is
// made). Throws std::bad_alloc when the conversion cannot get its memory.
PackedPage IntakePage(const cups_page_header2_t &header, PageBytes &raster, unsigned y,
                      const JobSettings &settings, std::vector<uint8_t> &pDataBuf,
                      const EngineSink &sink);
