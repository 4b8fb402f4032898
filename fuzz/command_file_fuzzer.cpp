// command_file_fuzzer: any bytes as a CUPS command file through the reader
// commandtolabel uses. A file is either good, with one command for each line
// after the first that is neither blank nor a "#" comment and no more than
// the labels a file may ask for, or refused with no commands and an error
// that fits one short line of the job log: printable ASCII, no newline.
#include "command_file.h"

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

namespace {

void Check(bool fact) {
  if (!fact)
    abort();
}

// Lines after the first that hold more than blanks and are no comment.
size_t CommandLines(std::string_view text) {
  size_t lines = 0;
  size_t at = text.find('\n');
  while (at != std::string_view::npos) {
    const size_t next = text.find('\n', at + 1);
    const std::string_view line = text.substr(at + 1, next - (at + 1));
    const size_t first = line.find_first_not_of(" \t\r");
    lines += first != std::string_view::npos && line[first] != '#';
    at = next;
  }
  return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string_view text(reinterpret_cast<const char *>(data), size);
  const CommandFile file = ReadCommandFile(std::span(text.data(), text.size()));
  if (file.error.empty()) {
    Check(size <= kMaxCommandFileBytes);
    Check(file.commands.size() <= kMaxCommands);
    Check(file.commands.size() == CommandLines(text));
  } else {
    Check(file.commands.empty());
    Check(file.error.size() <= 160);
    for (char c : file.error)
      Check(c >= 0x20 && c <= 0x7E);
  }
  return 0;
}
