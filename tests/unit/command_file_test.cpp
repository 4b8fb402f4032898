// Reading CUPS command files: the commands a queue's maintenance page and
// lp send, and the files that are none.
#include "command_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using enum PrinterCommand;

struct CommandCase {
  const char *name;
  std::string text;
  std::vector<PrinterCommand> commands;
  std::string error; // empty when the file is good
};
void PrintTo(const CommandCase &c, std::ostream *os) { *os << c.name; }

std::string Repeated(const std::string &line, size_t times) {
  std::string text = "#CUPS-COMMAND\n";
  for (size_t i = 0; i < times; ++i)
    text += line + "\n";
  return text;
}

const CommandCase kCases[] = {
    {"SelfTest", "#CUPS-COMMAND\nPrintSelfTestPage\n", {PrintSelfTestPage}, ""},
    {"BothWithBlankLinesCommentsAndCarriageReturns",
     "#CUPS-COMMAND\r\n\r\n# the page first\r\n  PrintAlignmentPage  \r\n\tPrintSelfTestPage",
     {PrintAlignmentPage, PrintSelfTestPage},
     ""},
    {"CommandWithArguments", "#CUPS-COMMAND\nPrintSelfTestPage now\n", {PrintSelfTestPage}, ""},
    {"NoCommands", "#CUPS-COMMAND\n", {}, ""},
    {"AsManyCommandsAsTheLimit", Repeated("PrintAlignmentPage", 16),
     std::vector<PrinterCommand>(16, PrintAlignmentPage), ""},
    {"Empty",
     "",
     {},
     "The file is no CUPS command file: its first line is \"\", not \"#CUPS-COMMAND\"."},
    {"Binary",
     std::string("\x89PNG\r\n\x1a\n\0\0", 10),
     {},
     "The file is no CUPS command file: its first line is \"?PNG\", not \"#CUPS-COMMAND\"."},
    {"HeaderNotFirst",
     "PrintSelfTestPage\n#CUPS-COMMAND\n",
     {},
     "The file is no CUPS command file: its first line is \"PrintSelfTestPage\", not "
     "\"#CUPS-COMMAND\"."},
    {"UnknownCommand",
     "#CUPS-COMMAND\nPrintSelfTestPage\nClean\n",
     {},
     "Unknown printer command \"Clean\" on line 3."},
    {"UnknownCommandWithControlBytes",
     "#CUPS-COMMAND\nSTATE:\x1b+cover-open\n",
     {},
     "Unknown printer command \"STATE:?+cover-open\" on line 2."},
    {"LongUnknownCommand",
     "#CUPS-COMMAND\n" + std::string(100, 'X') + "\n",
     {},
     "Unknown printer command \"" + std::string(40, 'X') + "...\" on line 2."},
    {"VeryLongLine",
     "#CUPS-COMMAND\n" + std::string(1025, 'A') + "\n",
     {},
     "The command file's line 2 is longer than 1024 bytes."},
    {"ThousandsOfCommands",
     Repeated("PrintSelfTestPage", 3000),
     {},
     "The command file asks for more than 16 labels."},
    {"MoreThanACommandFileHolds",
     Repeated("# " + std::string(1000, '-'), 70),
     {},
     "The command file has more than 65536 bytes; a command file holds a few commands."},
};

class CommandFiles : public ::testing::TestWithParam<CommandCase> {};

TEST_P(CommandFiles, GiveTheirCommandsOrOneError) {
  const CommandCase &c = GetParam();
  const CommandFile file = ReadCommandFile(c.text);
  EXPECT_EQ(file.error, c.error);
  EXPECT_EQ(file.commands, c.commands);
}

INSTANTIATE_TEST_SUITE_P(CommandFile, CommandFiles, ::testing::ValuesIn(kCases),
                         [](const auto &test) { return std::string(test.param.name); });

} // namespace
