// The labelfilter executable: a CUPS filter for a 203-dpi thermal label printer.
#include "job_log.h"
#include "labelfilter.h"

#include <new>

int main(int argc, char *argv[]) {
  try {
    return LabelFilterMain(argc, argv);
  } catch (const std::bad_alloc &) {
    // Nothing of the page was sent: each page's stream is built whole first.
    LogLine(LogLevel::Failure, "Not enough memory to print the page.\n");
    return 1;
  }
}
