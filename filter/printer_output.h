// The printer command stream on standard output.
#pragma once

#include <cstdint>
#include <span>

// 'WritePrinterData()' - Send bytes to the printer. Returns false, with an
// "ERROR:" line on standard error, when the output is gone (the backend
// closed the pipe, the disk is full, ...): the job cannot be printed then.
bool WritePrinterData(std::span<const uint8_t> bytes);
