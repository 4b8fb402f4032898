// The filter's job log on standard error: each line with the prefix that
// tells CUPS its level, and lines gathered into one block and handed to
// standard error at once (a page logs some forty lines of its header).
#pragma once

#include "engine_sink.h"
#include "log_text.h"

#include <cstddef>
#include <cstdio>
#include <string_view>

// 'LogPrefix()' - The prefix of a line of this level. The printer's traces
// have always been "ERROR:" lines, though they tell of no failure.
std::string_view LogPrefix(LogLevel level);

// 'WriteLogLines()' - Whole lines of one level, each ending in '\n', to
// standard error, each behind its prefix.
void WriteLogLines(LogLevel level, std::string_view lines);

// 'LogLine()' - One line of the filter's own, printf-style: 'format' has no
// prefix and ends in '\n'.
void LogLine(LogLevel level, const char *format, ...) __attribute__((format(printf, 2, 3)));

class LogBlock {
public:
  LogBlock() = default;
  LogBlock(const LogBlock &) = delete;
  LogBlock &operator=(const LogBlock &) = delete;
  ~LogBlock() { fwrite(text_.str().data(), 1, text_.str().size(), stderr); }

  // 'Line()' - Start a line of this level: its prefix.
  LogBlock &Line(LogLevel level) {
    text_ << LogPrefix(level);
    return *this;
  }
  template <typename T> LogBlock &operator<<(const T &value) {
    text_ << value;
    return *this;
  }
  template <size_t N> LogBlock &Field(const char (&field)[N]) {
    text_.Field(field);
    return *this;
  }

private:
  LogText text_;
};
