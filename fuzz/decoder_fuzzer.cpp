// decoder_fuzzer: any bytes as a printer stream through labelpreview's
// decoder and the drawing of its labels. The commands must tile the stream
// from its first byte up to its end or the error, and every band's rows must
// lie inside the stream.
#include "paper.h"
#include "stream_decoder.h"

#include <cstdint>
#include <cstdlib>

namespace {

// Rows drawn per label at most: a feed is 3 bytes for 255 rows of paper, so
// the drawing of a small stream can be long; its first rows are enough.
constexpr unsigned kRowsDrawn = 4096;

void Check(bool fact) {
  if (!fact)
    abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::span<const uint8_t> stream(data, size);
  const preview::DecodedStream decoded = preview::DecodeStream(stream);

  size_t next = 0;
  for (const preview::Command &command : decoded.commands) {
    Check(command.offset == next && command.length > 0 && command.length <= size - next);
    next = command.offset + command.length;
    if (command.kind == preview::CommandKind::kBand) {
      Check(command.widthBytes > 0 && command.height > 0);
      Check(command.rows.size() == size_t{command.widthBytes} * command.height);
      Check(command.rows.data() >= data &&
            command.rows.data() + command.rows.size() <= data + size);
      Check(preview::DotCount(command) <= uint64_t{command.rows.size()} * 8);
    }
    preview::PaperRows(command);
    preview::SettingName(command.code);
  }
  if (decoded.error)
    Check(decoded.error->offset >= next && decoded.error->offset < size);
  else
    Check(next == size);

  const unsigned widthBytes = preview::PaperWidthBytes(decoded.commands);
  for (const preview::Label &label : preview::SplitLabels(decoded.commands)) {
    unsigned rows = 0;
    preview::DrawLabel(decoded.commands, label, widthBytes, [&](std::span<const uint8_t> row) {
      Check(row.size() == widthBytes);
      return ++rows < kRowsDrawn;
    });
  }
  return 0;
}
