// The filter's process-wide state, defined in labelfilter.cpp: the job loop
// owns it, and what else needs a part of it is handed that part.
#pragma once

#include "page_bytes.h"

#include <csignal>

extern PageBytes Buffer;               // Raw raster lines of the current page
extern volatile sig_atomic_t Canceled; // Set by SIGTERM: the job was canceled
extern int Page;                       // Number of pages started

// 'CancelJob()' - The SIGTERM handler: note a cancel request from the
// spooler in Canceled.
void CancelJob(int sig);
