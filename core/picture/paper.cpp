#include "paper.h"

#include <algorithm>
#include <cstring>

namespace preview {

unsigned PaperWidthBytes(std::span<const Command> commands) {
  unsigned widthBytes = 1;
  for (const Command &command : commands)
    if (command.kind == CommandKind::kBand || command.kind == CommandKind::kBlankBand)
      widthBytes = std::max(widthBytes, command.widthBytes);
  return widthBytes;
}

std::vector<Label> SplitLabels(std::span<const Command> commands) {
  std::vector<Label> labels;
  Label label;
  for (size_t i = 0; i < commands.size(); ++i) {
    label.rows += PaperRows(commands[i]);
    if (commands[i].kind != CommandKind::kCut)
      continue;
    label.end = i + 1;
    label.cut = true;
    if (label.rows > 0)
      labels.push_back(label);
    label = Label{.first = i + 1};
  }
  label.end = commands.size();
  if (label.rows > 0)
    labels.push_back(label);
  return labels;
}

bool DrawLabel(std::span<const Command> commands, const Label &label, unsigned widthBytes,
               const std::function<bool(std::span<const uint8_t>)> &row) {
  std::vector<uint8_t> line(widthBytes);
  for (size_t i = label.first; i < label.end; ++i) {
    const Command &command = commands[i];
    if (command.kind == CommandKind::kFeed || command.kind == CommandKind::kBlankBand) {
      // White paper: the blank band has no dots to copy.
      std::fill(line.begin(), line.end(), 0);
      for (unsigned y = 0; y < PaperRows(command); ++y)
        if (!row(line))
          return false;
    } else if (command.kind == CommandKind::kBand) {
      // The band's rows at the left edge, white paper to their right.
      const size_t bytes = std::min<size_t>(command.widthBytes, widthBytes);
      std::fill(line.begin() + bytes, line.end(), 0);
      for (unsigned y = 0; y < command.height; ++y) {
        std::memcpy(line.data(), command.rows.data() + size_t{y} * command.widthBytes, bytes);
        if (!row(line))
          return false;
      }
    }
  }
  return true;
}

} // namespace preview
