#include "cups_handles.h"

#include <unistd.h>

JobOptions::JobOptions(const char *text) { num_options = cupsParseOptions(text, 0, &options); }

void JobOptions::Free() {
  cupsFreeOptions(num_options, options);
  num_options = 0;
  options = nullptr;
}

void InputFile::Close() {
  if (fd_ != 0)
    close(fd_);
  fd_ = 0;
}
