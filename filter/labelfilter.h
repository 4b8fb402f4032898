// The filter process: job loop over the pages of a CUPS raster stream.
#pragma once

#include <csignal>
#include "page_bytes.h"

#include <cstdint>

extern PageBytes Buffer;                 // Raw raster lines of the current page
extern volatile sig_atomic_t Canceled;   // Set by SIGTERM: the job was canceled
extern int Page;                         // Number of pages started

// 'LabelFilterMain()' - Run the filter with the CUPS filter arguments and
// return the exit status.
int LabelFilterMain(int argc, char *argv[]);

// 'CancelJob()' - Note a cancel request from the spooler.
void CancelJob(int sig);
