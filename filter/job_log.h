// Job-log lines gathered into one block and handed to standard error at
// once: a page logs some forty lines of its header.
#pragma once

#include "log_text.h"

#include <cstddef>
#include <cstdio>

class LogBlock {
public:
  LogBlock() = default;
  LogBlock(const LogBlock &) = delete;
  LogBlock &operator=(const LogBlock &) = delete;
  ~LogBlock() { fwrite(text_.str().data(), 1, text_.str().size(), stderr); }

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
