// Reads the label printer's command stream back into commands: settings,
// raster bands, blank bands, feeds and cuts, each with its byte offset.
//
// The decoder only looks at the bytes it is given: a band's dots stay in the
// stream and a command refers to them. Whatever the input, it reads no byte
// outside the stream and allocates nothing in proportion to what a header
// claims.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace preview {

// Rows of the filter's blank band, which advances the paper without dots.
inline constexpr unsigned kBlankBandRows = 24;

enum class CommandKind {
  kSetting,   // 0x19 code n
  kBand,      // GS v 0: 1D 76 30 00 xL xH yL yH, then the rows
  kBlankBand, // a GS v 0 band 1 byte wide and 24 rows high without dots
  kFeed,      // ESC J n: 1B 4A n
  kCut,       // GS V 0: 1D 56 00
};

struct Command {
  CommandKind kind = CommandKind::kCut;
  size_t offset = 0;               // first byte in the stream
  size_t length = 0;               // bytes in the stream, a band's rows included
  uint8_t code = 0;                // settings: the code of the printer setting
  uint8_t value = 0;               // settings: n; feed: n dots
  unsigned widthBytes = 0;         // bands: bytes per row, 8 dots each, leftmost in the top bit
  unsigned height = 0;             // bands: rows
  std::span<const uint8_t> rows{}; // bands: widthBytes x height bytes, 1 = dot
};

enum class ErrorKind {
  kUnknownCommand, // a byte that starts no command, or an unknown GS command
  kUnknownSetting, // 0x19 with a code the printer has no setting for
  kBadMode,        // GS v 0 with a mode byte other than 0, or GS V with one other than 0
  kEmptyBand,      // GS v 0 of width or height 0
  kTruncated,      // the stream ends inside the command
};

struct DecodeError {
  ErrorKind kind = ErrorKind::kUnknownCommand;
  size_t offset = 0; // the offending byte; for a truncated command, its first byte
  std::string message;
};

struct DecodedStream {
  std::vector<Command> commands; // every command before the error, if any
  std::optional<DecodeError> error;
};

// The command that starts at 'offset' (below stream.size()), or why none does.
std::variant<Command, DecodeError> DecodeCommand(std::span<const uint8_t> stream, size_t offset);

// The stream's commands up to its end or to the first error.
DecodedStream DecodeStream(std::span<const uint8_t> stream);

// The printer setting a settings code sets ("PrintSpeed"), or nullptr.
const char *SettingName(uint8_t code);

// Dots a band prints.
uint64_t DotCount(const Command &command);

// Rows of paper a command moves: a band's height, a feed's n, else 0.
unsigned PaperRows(const Command &command);

} // namespace preview
