#include "job_log.h"

#include <cstdarg>

std::string_view LogPrefix(LogLevel level) {
  switch (level) {
  case LogLevel::Failure:
  case LogLevel::Trace:
    return "ERROR: ";
  case LogLevel::Note:
    return "INFO: ";
  case LogLevel::Debug:
    break;
  }
  return "DEBUG: ";
}

void WriteLogLines(LogLevel level, std::string_view lines) {
  while (!lines.empty()) {
    const size_t end = lines.find('\n');
    const std::string_view line = lines.substr(0, end == std::string_view::npos ? end : end + 1);
    std::string_view prefix = LogPrefix(level);
    // The classifier's trace of its pixel is rows of stars, which the
    // printer has always written right behind the colon.
    if (level == LogLevel::Trace && line.starts_with('*'))
      prefix.remove_suffix(1);
    // Both filters buffer standard error whole: these are copies into its
    // buffer, no writes.
    fwrite(prefix.data(), 1, prefix.size(), stderr);
    fwrite(line.data(), 1, line.size(), stderr);
    lines.remove_prefix(line.size());
  }
}

void LogLine(LogLevel level, const char *format, ...) {
  const std::string_view prefix = LogPrefix(level);
  fwrite(prefix.data(), 1, prefix.size(), stderr);
  va_list args;
  va_start(args, format);
  vfprintf(stderr, format, args);
  va_end(args);
}
