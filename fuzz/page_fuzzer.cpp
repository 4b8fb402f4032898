// page_fuzzer: one page through the filter's whole per-page path, in process:
// the header check, the intake by bit depth, every conversion mode, every
// orientation, mirror and polarity, and the page's command stream, which is
// read back with the preview's decoder and must be well formed.
//
// Input: a 12-byte page description, then the pixel bytes; fuzz_inputs.h
// tells what each byte stands for.
#include "command_stream.h"
#include "fuzz_inputs.h"
#include "fuzz_io.h"
#include "intake.h"
#include "page_header.h"
#include "stream_decoder.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <span>
#include <vector>

namespace {

// The stream must decode without an error, and be the same bytes once per copy.
void CheckStream(const std::vector<uint8_t> &stream, unsigned copies) {
  if (copies == 0) {
    if (!stream.empty())
      abort();
    return;
  }
  if (stream.size() % copies != 0)
    abort();
  const size_t one = stream.size() / copies;
  for (unsigned copy = 1; copy < copies && one > 0; ++copy)
    if (std::memcmp(stream.data(), stream.data() + copy * one, one) != 0)
      abort();
  const preview::DecodedStream decoded = preview::DecodeStream(std::span(stream).first(one));
  if (decoded.error)
    abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  fuzz::QuietFilterOutput();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::optional<fuzz::PageInput> page = fuzz::ReadPageInput(std::span(data, size));
  if (!page)
    return 0;
  const cups_page_header2_t &header = page->header;

  std::vector<uint8_t> stream;
  PackedPage packed = IntakePage(RasterPageLines(header, fuzz::PageLines(*page), page->lines),
                                 page->settings.dithering, StreamSink(stream));
  const PageOutcome outcome =
      ProcessData(page->settings, packed, header.NumCopies, StreamSink(stream));
  if (outcome == PageOutcome::OutputFailed)
    abort();
  CheckStream(stream, outcome == PageOutcome::Printed ? header.NumCopies : 0);
  return 0;
}
