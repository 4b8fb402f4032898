// The state file's form: a first line that names it, then one setting a
// line, a key and its values separated by single spaces. Each value is
// escaped: a byte below 0x21, 0x7F and '%' are written as %XX, so that a
// value never holds a space or a line break. The system's settings come
// first; a line "printer ID NAME DRIVER DEVICE-URI DEVICE-ID" starts a
// printer, and the lines after it are that printer's settings.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// The first line of the file.
inline constexpr std::string_view kStateHeader = "label-printer-app-state 1";

using Values = std::vector<std::string>;

// One line of the file: its key and its values, unescaped.
struct Line {
  std::string key;
  Values values;
  int number = 0;
};

// A printer of the file: its identity, then its settings.
struct PrinterRecord {
  int id = 0;
  std::string name, driver, deviceUri, deviceId;
  std::vector<Line> settings;
};

struct StateRecord {
  std::vector<Line> system;
  std::vector<PrinterRecord> printers;
};

// 'Put()' - Add a line with its values, each escaped.
void Put(std::string &text, std::string_view key, std::initializer_list<std::string_view> values);

// 'PutInt()' - Add a line with one number.
void PutInt(std::string &text, std::string_view key, int value);

// 'Escape()' - A value as one word of the file.
std::string Escape(std::string_view value);

// 'ToInt()' - A whole decimal number, into 'n'; false for anything else.
bool ToInt(const std::string &value, int &n);

// 'ParseState()' - The file's lines, unescaped and grouped, or the number of
// the first line that is broken and why.
bool ParseState(std::string_view text, StateRecord &state, int &badLine, const char *&why);

// 'BrokenLegacyLine()' - The number of the first line of a PAPPL state file
// whose quotes do not pair up (as a line break written inside a job's name
// leaves it), or 0.
int BrokenLegacyLine(std::string_view text);
