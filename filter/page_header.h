// A page header of the raster stream: its check against the largest raster
// the filter takes (page_limits.h), and the lines it describes.
#pragma once

#include "intake.h"
#include "page_bytes.h"
#include "page_limits.h"

#include <cups/raster.h>

#include <cstdint>
#include <optional>
#include <string>

// 'PageHeaderProblem()' - Why a page with this header cannot be printed, or
// nothing when it can. The header's cupsHeight is no reason: a page holds the
// lines that actually arrive, and those are held to the limits as they come.
std::optional<std::string> PageHeaderProblem(const cups_page_header2_t &header);

// 'MaxPageLines()' - The most raster lines a page with this header may bring,
// printed or skipped: as many as fit in the pixel and byte limits.
uint64_t MaxPageLines(const cups_page_header2_t &header);

// 'RasterPageLines()' - The first 'y' raster lines of a page with this header,
// as the intake takes them. Gray lines are 255 for black, whatever colour
// space the header names, and are traced.
RasterLines RasterPageLines(const cups_page_header2_t &header, PageBytes &&lines, unsigned y);
