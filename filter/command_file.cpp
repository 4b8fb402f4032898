#include "command_file.h"

#include "log_text.h"

#include <string_view>

namespace {

std::string_view Trimmed(std::string_view line) {
  const size_t start = line.find_first_not_of(" \t\r");
  if (start == std::string_view::npos)
    return {};
  return line.substr(start, line.find_last_not_of(" \t\r") + 1 - start);
}

// A piece of the file as the job log may show it: printable, and short.
std::string Shown(std::string_view text) {
  constexpr size_t kShown = 40;
  return Printable(text.substr(0, kShown)) + (text.size() > kShown ? "..." : "");
}

} // namespace

CommandFile ReadCommandFile(std::span<const char> text) {
  CommandFile file;
  if (text.size() > kMaxCommandFileBytes) {
    file.error = "The command file has more than " + std::to_string(kMaxCommandFileBytes) +
                 " bytes; a command file holds a few commands.";
    return file;
  }
  const std::string_view all(text.data(), text.size());
  size_t lineNumber = 0;
  for (size_t at = 0; at < all.size() || lineNumber == 0;) {
    size_t end = all.find('\n', at);
    if (end == std::string_view::npos)
      end = all.size();
    const std::string_view raw = all.substr(at, end - at);
    at = end + 1;
    ++lineNumber;
    const std::string where = "line " + std::to_string(lineNumber);
    if (raw.size() > kMaxCommandLineBytes) {
      file.error = "The command file's " + where + " is longer than " +
                   std::to_string(kMaxCommandLineBytes) + " bytes.";
      break;
    }
    const std::string_view line = Trimmed(raw);
    if (lineNumber == 1) {
      if (line != "#CUPS-COMMAND") {
        file.error = "The file is no CUPS command file: its first line is \"" + Shown(line) +
                     "\", not \"#CUPS-COMMAND\".";
        break;
      }
      continue;
    }
    if (line.empty() || line.front() == '#')
      continue;
    const std::string_view name = line.substr(0, line.find_first_of(" \t"));
    if (name == "PrintSelfTestPage")
      file.commands.push_back(PrinterCommand::PrintSelfTestPage);
    else if (name == "PrintAlignmentPage")
      file.commands.push_back(PrinterCommand::PrintAlignmentPage);
    else {
      file.error = "Unknown printer command \"" + Shown(name) + "\" on " + where + ".";
      break;
    }
    if (file.commands.size() > kMaxCommands) {
      file.error =
          "The command file asks for more than " + std::to_string(kMaxCommands) + " labels.";
      break;
    }
  }
  if (!file.error.empty())
    file.commands.clear();
  return file;
}
