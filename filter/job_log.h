// Job-log lines gathered into one block and handed to standard error at
// once: a page logs some forty lines of its header, and printf for each of
// them would cost a good share of what the page's own work costs.
#pragma once

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

class LogBlock {
public:
  LogBlock() { text_.reserve(4096); }
  LogBlock(const LogBlock &) = delete;
  LogBlock &operator=(const LogBlock &) = delete;
  ~LogBlock() { fwrite(text_.data(), 1, text_.size(), stderr); }

  LogBlock &operator<<(std::string_view text) {
    text_.append(text);
    return *this;
  }
  LogBlock &operator<<(int number) {
    char digits[16];
    text_.append(digits, std::to_chars(digits, digits + sizeof digits, number).ptr);
    return *this;
  }
  // A fixed-size text field of a page header: up to its first NUL, and never
  // past its end, as a stream need not end it with a NUL.
  template <size_t N> LogBlock &Field(const char (&field)[N]) {
    text_.append(field, strnlen(field, N));
    return *this;
  }

private:
  std::string text_;
};
