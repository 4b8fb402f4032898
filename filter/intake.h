// Raster intake: a page's raster lines become a packed 1-bit page.
#pragma once

#include "page_bytes.h"
#include "ppd_settings.h"

#include <cups/raster.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The widest page accepted: 16384 dots is 80 inches at 203 dpi, far beyond
// any printer of this kind, and keeps every row within a GS v 0 band header.
inline constexpr unsigned kMaxPageWidth = 16384;
// The longest raster line accepted, padding included.
inline constexpr unsigned kMaxBytesPerLine = 65535;
// The most raw raster data one page may bring.
inline constexpr uint64_t kMaxPageBytes = uint64_t{256} << 20;

// 'PageHeaderProblem()' - Why a page with this header cannot be printed, or
// nothing when it can.
std::optional<std::string> PageHeaderProblem(const cups_page_header2_t &header);

// The packed page handed to the printer output: 1 bit per pixel, 0 = black.
struct PackedPage {
  std::span<uint8_t> pBuf;
  int biWidth = 0;
};

// 'IntakePage()' - Turn the 'y' raster lines in 'raster' into a packed page.
// 1-bit lines are complemented in place; gray and colour pages are binarised
// into 'pDataBuf' (gray lines are released once expanded). Returns nothing
// when the conversion cannot get its memory.
std::optional<PackedPage> IntakePage(const cups_page_header2_t &header, PageBytes &raster,
                                     unsigned y,
                                     const JobSettings &settings, std::vector<uint8_t> &pDataBuf);
