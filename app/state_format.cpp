// The state file's form: writing, escaping and reading its lines.
#include "state_format.h"

#include <charconv>
#include <cstdio>
#include <optional>

// 'Escape()' - A value as one word of the file.
std::string Escape(std::string_view value) {
  std::string word;
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7f || c == '%') {
      char hex[4];
      snprintf(hex, sizeof hex, "%%%02X", byte);
      word += hex;
    } else {
      word += c;
    }
  }
  return word;
}

// 'Put()' - The key, then each value escaped.
void Put(std::string &text, std::string_view key, std::initializer_list<std::string_view> values) {
  text += key;
  for (std::string_view value : values) {
    text += ' ';
    text += Escape(value);
  }
  text += '\n';
}

// 'PutInt()' - The key and the number.
void PutInt(std::string &text, std::string_view key, int value) {
  Put(text, key, {std::to_string(value)});
}

namespace {

// 'Unescape()' - A word of the file as its value; none when it is not one
// this file writes.
std::optional<std::string> Unescape(std::string_view word) {
  std::string value;
  for (size_t i = 0; i < word.size(); ++i) {
    if (word[i] != '%') {
      value += word[i];
      continue;
    }
    unsigned byte = 0;
    if (i + 2 >= word.size())
      return std::nullopt;
    const auto [end, error] = std::from_chars(word.data() + i + 1, word.data() + i + 3, byte, 16);
    if (error != std::errc() || end != word.data() + i + 3 || byte == 0)
      return std::nullopt;
    value += static_cast<char>(byte);
    i += 2;
  }
  return value;
}

} // namespace

// 'ToInt()' - A whole decimal number, into 'n'.
bool ToInt(const std::string &value, int &n) {
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), n);
  return error == std::errc() && end == value.data() + value.size() && !value.empty();
}

// 'ParseState()' - The file's lines, or the number of the first line that
// is broken and why.
bool ParseState(std::string_view text, StateRecord &state, int &badLine, const char *&why) {
  int number = 0;
  while (!text.empty()) {
    ++number;
    const size_t end = text.find('\n');
    if (end == std::string_view::npos) {
      badLine = number, why = "the file breaks off";
      return false;
    }
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end + 1);
    if (number == 1) {
      if (line != kStateHeader) {
        badLine = number, why = "not a state file of this application";
        return false;
      }
      continue;
    }
    Line parsed;
    parsed.number = number;
    size_t start = 0;
    for (bool first = true;; first = false) {
      const size_t space = line.find(' ', start);
      const std::string_view word = line.substr(start, space - start);
      std::optional<std::string> value = Unescape(word);
      if (!value || (first && value->empty())) {
        badLine = number, why = "a value is not escaped";
        return false;
      }
      (first ? parsed.key : parsed.values.emplace_back()) = std::move(*value);
      if (space == std::string_view::npos)
        break;
      start = space + 1;
    }
    if (parsed.key == "printer") {
      int id = 0;
      if (parsed.values.size() != 5 || !ToInt(parsed.values[0], id) || id <= 0 ||
          parsed.values[1].empty() || parsed.values[2].empty() || parsed.values[3].empty()) {
        badLine = number, why = "a printer needs an id, a name, a driver and a device";
        return false;
      }
      state.printers.push_back(
          {id, parsed.values[1], parsed.values[2], parsed.values[3], parsed.values[4], {}});
    } else if (state.printers.empty()) {
      state.system.push_back(std::move(parsed));
    } else {
      state.printers.back().settings.push_back(std::move(parsed));
    }
  }
  if (number == 0) {
    badLine = 1, why = "the file is empty";
    return false;
  }
  return true;
}

// 'BrokenLegacyLine()' - The number of the first line of a PAPPL state file
// whose quotes do not pair up (as a line break written inside a job's name
// leaves it), or 0.
int BrokenLegacyLine(std::string_view text) {
  int number = 0;
  while (!text.empty()) {
    ++number;
    const size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
      if (quoted && line[i] == '\\')
        ++i;
      else if (line[i] == '"')
        quoted = !quoted;
    }
    if (quoted)
      return number;
    if (end == std::string_view::npos)
      break;
    text.remove_prefix(end + 1);
  }
  return 0;
}
