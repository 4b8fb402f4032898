#include "stream_decoder.h"

#include <array>
#include <bit>
#include <utility>

namespace preview {

namespace {

constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kGs = 0x1D;
constexpr uint8_t kSettings = 0x19;

struct Setting {
  uint8_t code;
  const char *name;
};

// The printer settings the settings command can set, by code.
constexpr std::array<Setting, 8> kSettingNames{{
    {0x02, "PrintPressure"},
    {0x0A, "PrintHeaderHeatingTemp"},
    {0x0C, "PrintHeaderOffset"},
    {0x0D, "EdageEnhance"},
    {0x0E, "EdageEnhanceLength"},
    {0x11, "PrintSpeed"},
    {0x12, "Darkness"},
    {0x13, "UpwardOffset"},
}};

// 'Hex()' - A byte as the listing writes it: "0x1B".
std::string Hex(unsigned byte) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  return std::string("0x") + kDigits[(byte >> 4) & 15] + kDigits[byte & 15];
}

DecodeError Error(ErrorKind kind, size_t offset, std::string text) {
  return DecodeError{kind, offset, std::move(text)};
}

DecodeError Truncated(size_t offset, const char *what, size_t need, size_t have) {
  return DecodeError{ErrorKind::kTruncated, offset,
                     std::string(what) + " cut short: " + std::to_string(need) +
                         " bytes, the stream ends after " + std::to_string(have)};
}

// 'count' bytes are there from 'offset' on, or the command is truncated.
bool Has(std::span<const uint8_t> stream, size_t offset, size_t count) {
  return stream.size() - offset >= count;
}

std::variant<Command, DecodeError> DecodeSetting(std::span<const uint8_t> s, size_t at) {
  if (Has(s, at, 2) && SettingName(s[at + 1]) == nullptr)
    return Error(ErrorKind::kUnknownSetting, at + 1,
                 "settings command with unknown code " + Hex(s[at + 1]));
  if (!Has(s, at, 3))
    return Truncated(at, "settings command", 3, s.size() - at);
  return Command{.kind = CommandKind::kSetting,
                 .offset = at,
                 .length = 3,
                 .code = s[at + 1],
                 .value = s[at + 2]};
}

std::variant<Command, DecodeError> DecodeFeed(std::span<const uint8_t> s, size_t at) {
  if (Has(s, at, 2) && s[at + 1] != 0x4A)
    return Error(ErrorKind::kUnknownCommand, at + 1, "unknown command ESC " + Hex(s[at + 1]));
  if (!Has(s, at, 3))
    return Truncated(at, "feed (ESC J)", 3, s.size() - at);
  return Command{.kind = CommandKind::kFeed, .offset = at, .length = 3, .value = s[at + 2]};
}

// GS v 0 m xL xH yL yH, then yL + 256 yH rows of xL + 256 xH bytes.
std::variant<Command, DecodeError> DecodeBand(std::span<const uint8_t> s, size_t at) {
  if (Has(s, at, 3) && s[at + 2] != 0x30)
    return Error(ErrorKind::kUnknownCommand, at + 2, "unknown command GS v " + Hex(s[at + 2]));
  if (Has(s, at, 4) && s[at + 3] != 0x00)
    return Error(ErrorKind::kBadMode, at + 3,
                 "band (GS v 0) with mode " + std::to_string(s[at + 3]) + "; only mode 0 prints");
  if (!Has(s, at, 8))
    return Truncated(at, "band header (GS v 0)", 8, s.size() - at);
  const unsigned widthBytes = s[at + 4] + 256u * s[at + 5];
  const unsigned height = s[at + 6] + 256u * s[at + 7];
  if (widthBytes == 0 || height == 0)
    return Error(ErrorKind::kEmptyBand, at + (widthBytes == 0 ? 4 : 6),
                 "band (GS v 0) of " + std::to_string(widthBytes) + " bytes by " +
                     std::to_string(height) + " rows has no area");
  // At most 65535 x 65535 bytes: compared with what is left before any use.
  const uint64_t dataBytes = uint64_t{widthBytes} * height;
  if (uint64_t{s.size() - at - 8} < dataBytes)
    return Truncated(at, "band (GS v 0)", static_cast<size_t>(8 + dataBytes), s.size() - at);
  Command band{.kind = CommandKind::kBand,
               .offset = at,
               .length = static_cast<size_t>(8 + dataBytes),
               .widthBytes = widthBytes,
               .height = height,
               .rows = s.subspan(at + 8, static_cast<size_t>(dataBytes))};
  if (widthBytes == 1 && height == kBlankBandRows && DotCount(band) == 0)
    band.kind = CommandKind::kBlankBand;
  return band;
}

std::variant<Command, DecodeError> DecodeCut(std::span<const uint8_t> s, size_t at) {
  if (Has(s, at, 3) && s[at + 2] != 0x00)
    return Error(ErrorKind::kBadMode, at + 2,
                 "cut (GS V) with mode " + std::to_string(s[at + 2]) + "; only mode 0 cuts");
  if (!Has(s, at, 3))
    return Truncated(at, "cut (GS V 0)", 3, s.size() - at);
  return Command{.kind = CommandKind::kCut, .offset = at, .length = 3};
}

} // namespace

const char *SettingName(uint8_t code) {
  for (const Setting &setting : kSettingNames)
    if (setting.code == code)
      return setting.name;
  return nullptr;
}

uint64_t DotCount(const Command &command) {
  uint64_t dots = 0;
  for (uint8_t byte : command.rows)
    dots += static_cast<unsigned>(std::popcount(byte));
  return dots;
}

unsigned PaperRows(const Command &command) {
  switch (command.kind) {
  case CommandKind::kBand:
  case CommandKind::kBlankBand:
    return command.height;
  case CommandKind::kFeed:
    return command.value;
  case CommandKind::kSetting:
  case CommandKind::kCut:
    break;
  }
  return 0;
}

std::variant<Command, DecodeError> DecodeCommand(std::span<const uint8_t> s, size_t at) {
  switch (s[at]) {
  case kSettings:
    return DecodeSetting(s, at);
  case kEsc:
    return DecodeFeed(s, at);
  case kGs:
    if (!Has(s, at, 2))
      return Truncated(at, "GS command", 2, 1);
    if (s[at + 1] == 0x76)
      return DecodeBand(s, at);
    if (s[at + 1] == 0x56)
      return DecodeCut(s, at);
    return Error(ErrorKind::kUnknownCommand, at + 1, "unknown command GS " + Hex(s[at + 1]));
  default:
    return Error(ErrorKind::kUnknownCommand, at, "unknown command byte " + Hex(s[at]));
  }
}

DecodedStream DecodeStream(std::span<const uint8_t> stream) {
  DecodedStream decoded;
  size_t offset = 0;
  while (offset < stream.size()) {
    auto next = DecodeCommand(stream, offset);
    if (auto *error = std::get_if<DecodeError>(&next)) {
      decoded.error = std::move(*error);
      break;
    }
    decoded.commands.push_back(std::get<Command>(next));
    offset += decoded.commands.back().length;
  }
  return decoded;
}

} // namespace preview
