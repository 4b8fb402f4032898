// Page start and end: the page header in the job log.
#pragma once

#include <cups/ppd.h>
#include <cups/raster.h>

// 'StartPage()' - Log the page header.
void StartPage(ppd_file_t *ppd, const cups_page_header2_t &header);

// 'EndPage()' - Log the end of the page.
void EndPage(ppd_file_t *ppd, const cups_page_header2_t &header);
