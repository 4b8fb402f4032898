// Page start and end: the page header in the job log and the page buffer.
#pragma once

#include <cups/ppd.h>
#include <cups/raster.h>

#include <cstddef>

// The page buffer starts this large at most, whatever the header claims, and
// grows with the lines that actually arrive.
inline constexpr size_t kInitialPageReserve = size_t{8} << 20;

// 'StartPage()' - Log the page header and make an empty page buffer.
void StartPage(ppd_file_t *ppd, const cups_page_header2_t &header);

// 'EndPage()' - Log the end of the page.
void EndPage(ppd_file_t *ppd, const cups_page_header2_t &header);
