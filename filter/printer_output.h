// The printer command stream on standard output.
#pragma once

#include <csignal>
#include <cstdint>
#include <span>

// Standard output for the job: a pipe to the backend is written without
// blocking while the job runs, so that a cancel is never stuck in a write;
// its flags are restored at the end.
class PrinterOutput {
public:
  PrinterOutput();
  ~PrinterOutput();
  PrinterOutput(const PrinterOutput &) = delete;
  PrinterOutput &operator=(const PrinterOutput &) = delete;

private:
  int restoreFlags_ = -1;
};

// 'WritePrinterData()' - Send bytes to the printer. Returns false, with an
// "ERROR:" line on standard error, when the output is gone (the backend
// closed the pipe, the disk is full, ...) or when the job was canceled (the
// SIGTERM handler set 'canceled') and the printer has taken nothing for a
// second: the job cannot be printed then.
bool WritePrinterData(std::span<const uint8_t> bytes, const volatile sig_atomic_t &canceled);
