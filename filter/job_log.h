// Job-log lines gathered into one block and handed to standard error at
// once: a page logs some forty lines of its header, and printf for each of
// them would cost a good share of what the page's own work costs.
#pragma once

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

// Text that came with a job, as it may appear in the job log: the spooler
// takes every line of standard error as a message ("STATE:", "ATTR:",
// "PPD:", ...), so a byte outside printable ASCII, a newline above all,
// becomes '?'.
inline void MakePrintable(char *text, size_t length) {
  for (size_t i = 0; i < length; ++i)
    if (text[i] < 0x20 || text[i] > 0x7E)
      text[i] = '?';
}

inline std::string Printable(std::string_view text) {
  std::string shown(text);
  MakePrintable(shown.data(), shown.size());
  return shown;
}

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
  // past its end, as a stream need not end it with a NUL. The job wrote it,
  // so it is shown as printable text only.
  template <size_t N> LogBlock &Field(const char (&field)[N]) {
    const size_t start = text_.size();
    text_.append(field, strnlen(field, N));
    MakePrintable(text_.data() + start, text_.size() - start);
    return *this;
  }

private:
  std::string text_;
};
