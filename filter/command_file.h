// CUPS command files (application/vnd.cups-command): the maintenance
// commands a queue is sent from the web interface or with lp.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

// The printer's maintenance labels.
enum class PrinterCommand { PrintSelfTestPage, PrintAlignmentPage };

// A command file holds at most this much: a few commands, not a print job.
inline constexpr size_t kMaxCommandFileBytes = 65536;
inline constexpr size_t kMaxCommandLineBytes = 1024;
inline constexpr size_t kMaxCommands = 16;

struct CommandFile {
  std::vector<PrinterCommand> commands; // in the file's order
  std::string error;                    // what is wrong with the file; empty when nothing
};

// 'ReadCommandFile()' - The commands of a command file: its first line is
// "#CUPS-COMMAND", every other line a command name, a blank line or a
// "#" comment. A file that breaks a rule, or asks for a command the printer
// does not know, is an error naming the line, and none of its commands count.
CommandFile ReadCommandFile(std::span<const char> text);
