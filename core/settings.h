// What a job asks of the printer: the choices of its options, read once into
// plain values. The keywords are the PPD's option and choice keywords.
#pragma once

#include "option_table.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>

// The values of the three enumerations below are the positions of their
// choices in the options table.

// How the gray pixels of an 8-bit page become black or white ("Dithering").
// 24-bit pages always take the edge-aware conversion.
enum class GrayConversion {
  EdgeAware = 0,      // Otsu pass, then the pixel classifier ("None", any other choice)
  Threshold = 1,      // Otsu level ("Threshold")
  OrderDithering = 2, // 3 x 3 ordered dither ("OrderDithering")
  ErrorDiffusion = 3, // error diffusion ("ErrorDiffusion")
};

// Where the page goes on the paper ("Origin"); the value is the direction
// the printer's rules number it with.
enum class Origin {
  Rotation0 = 0,   // a half turn: the printer feeds the label head first
  Rotation90 = 1,  // a quarter turn clockwise
  Rotation180 = 2, // the page as it comes
  Rotation270 = 3, // the same quarter turn as Rotation90
};

// When the cutter cuts ("Cutting").
enum class Cutting {
  None,      // "0" and any other choice
  EveryPage, // "1": after every copy of every page
  EndOfJob,  // "2": once after the last page
};

// The printer's settings commands, in the order they are sent ahead of every
// page (the options table's order): the option that sets each, its command
// code and the job's choice it sends.
struct SettingsCommand {
  const char *option;
  uint8_t code;
  ChoiceField field;
};
inline constexpr auto kSettingsCommands = [] {
  constexpr size_t count = std::ranges::count_if(
      kPrinterOptions, [](const PrinterOption &option) { return option.command != 0; });
  std::array<SettingsCommand, count> commands{};
  size_t i = 0;
  for (const PrinterOption &option : kPrinterOptions)
    if (option.command != 0)
      commands[i++] = {option.keyword, option.command, option.field};
  return commands;
}();

// A settings command's value: the choice keyword, which the job log shows,
// and the byte the printer gets (the keyword's number, cut to 8 bits).
struct SettingValue {
  std::string keyword;
  uint8_t n = 0;
};

struct JobSettings {
  GrayConversion dithering = GrayConversion::EdgeAware;
  Origin origin = Origin::Rotation0;
  bool mirror = false;   // "MirrorImage" "True"
  bool negative = false; // "NegativeImage" "True": white prints as dots
  // One entry per kSettingsCommands row; none sends no command.
  std::array<std::optional<SettingValue>, kSettingsCommands.size()> commands;
  int feedChoice = 0; // "FeedAfterPrinting" 1 to 13; 0 feeds nothing
  Cutting cutting = Cutting::None;
};

// 'ParseSettings()' - The job's settings from its choice keywords, compared
// without regard to letter case. A choice the printer does not know counts
// as the option's default.
JobSettings ParseSettings(const ChoiceKeywords &choices);
