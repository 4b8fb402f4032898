// The printer's label pages on its web page: the picture of the last label
// it printed (PRINTER/last-label.png) and the preview of a document
// (PRINTER/preview: a form, and the picture it posts for).
#pragma once

#include <pappl/pappl.h>

// 'AddLabelPages()' - Add the printer's label pages, linked from its web
// page and its navigation bar.
void AddLabelPages(pappl_printer_t *printer);
