// The printer's test page: the engine's self-test label, drawn for the
// printer's default size with its name and its current settings.
#pragma once

#include <pappl/pappl.h>

#include <cstddef>

// 'LabelTestPage()' - Draw the self-test label into a new PNG file in the
// temporary folder, which PAPPL then prints as a job; its path in 'buffer',
// or null when it cannot be written.
const char *LabelTestPage(pappl_printer_t *printer, char *buffer, size_t bufsize);
