// Lines of the job log, put together without stdio: a page logs dozens of
// them, and formatting each with printf would cost a good share of what the
// page's own work costs.
#pragma once

#include <charconv>
#include <cstddef>
#include <string>
#include <string_view>

// Text that came with a job, as it may appear in the job log: the CUPS
// spooler takes every line of standard error as a message ("STATE:",
// "ATTR:", "PPD:", ...), so a byte outside printable ASCII, a newline above
// all, becomes '?'.
inline void MakePrintable(char *text, size_t length) {
  for (size_t i = 0; i < length; ++i)
    if (static_cast<unsigned char>(text[i]) < 0x20 || static_cast<unsigned char>(text[i]) > 0x7E)
      text[i] = '?';
}

inline std::string Printable(std::string_view text) {
  std::string shown(text);
  MakePrintable(shown.data(), shown.size());
  return shown;
}

// Log text built up piece by piece, numbers in decimal as "%d" and "%u"
// show them, and in hexadecimal with Hex() as "%x" does.
class LogText {
public:
  LogText &operator<<(std::string_view text) {
    text_.append(text);
    return *this;
  }
  LogText &operator<<(char c) {
    text_.push_back(c);
    return *this;
  }
  LogText &operator<<(int number) { return Number(number, 10); }
  LogText &operator<<(unsigned number) { return Number(number, 10); }
  LogText &operator<<(long long number) { return Number(number, 10); }
  LogText &Hex(unsigned number) { return Number(number, 16); }
  // A fixed-size text field of a page header: up to its first NUL, and never
  // past its end, as a stream need not end it with a NUL; shown printable.
  template <size_t N> LogText &Field(const char (&field)[N]) {
    const size_t start = text_.size();
    size_t length = 0;
    while (length < N && field[length] != '\0')
      ++length;
    text_.append(field, length);
    MakePrintable(text_.data() + start, length);
    return *this;
  }

  const std::string &str() const { return text_; }
  void clear() { text_.clear(); }

private:
  template <typename T> LogText &Number(T number, int base) {
    char digits[24];
    const char *end = std::to_chars(digits, digits + sizeof digits, number, base).ptr;
    text_.append(digits, static_cast<size_t>(end - digits));
    return *this;
  }

  std::string text_;
};
