// app_page_fuzzer: a PWG or Apple raster stream as bytes, through libcups
// into the printer application's page path (the header checks, the lines,
// the conversion and the copies), as its raster callbacks run it for each
// page PAPPL hands over, without PAPPL's server.
//
// Input: one byte of job settings, then the raster stream.
//   bits 0-1  gray conversion      bits 2-3  label origin
//   bit 4     mirror               bit 5     negative
//   bits 6-7  cutting, or a feed after printing and a settings command
// A page's lines are read only when it is at most kPixelBudget pixels, so
// that one run stays fast; its header is checked whatever its size.
#include "fuzz_io.h"
#include "raster_page.h"

#include <cups/raster.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr uint64_t kPixelBudget = uint64_t{1} << 21;

struct Input {
  const uint8_t *data;
  size_t size;
};

// 'ReadInput()' - libcups' reader over the input bytes.
ssize_t ReadInput(void *context, unsigned char *buffer, size_t length) {
  auto &input = *static_cast<Input *>(context);
  const size_t n = std::min(length, input.size);
  memcpy(buffer, input.data, n);
  input.data += n;
  input.size -= n;
  return static_cast<ssize_t>(n);
}

JobSettings Settings(uint8_t bits) {
  const char *dithering[] = {"None", "Threshold", "OrderDithering", "ErrorDiffusion"};
  const char *origin[] = {"Rotation0", "Rotation90", "Rotation180", "Rotation270"};
  ChoiceKeywords choices;
  choices.Dithering = dithering[bits & 3];
  choices.Origin = origin[(bits >> 2) & 3];
  choices.MirrorImage = bits & 0x10 ? "True" : "False";
  choices.NegativeImage = bits & 0x20 ? "True" : "False";
  switch (bits >> 6) {
  case 1:
    choices.Cutting = "1";
    break;
  case 2:
    choices.Cutting = "2";
    break;
  case 3:
    choices.FeedAfterPrinting = "13";
    choices.Darkness = "8";
    break;
  }
  return ParseSettings(choices);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1)
    return 0;
  const JobSettings settings = Settings(data[0]);
  Input input{data + 1, size - 1};
  cups_raster_t *ras = cupsRasterOpenIO(ReadInput, &input, CUPS_RASTER_READ);
  if (!ras)
    return 0;
  std::vector<uint8_t> stream;
  const EngineSink sink = StreamSink(stream);
  RasterPage page;
  cups_page_header2_t h;
  for (unsigned number = 1; cupsRasterReadHeader2(ras, &h); ++number) {
    // PAPPL hands a 1-bit PWG page over in gray lines under a header of its
    // own: take such a header as that case.
    const bool bitsThrough = IsMediaHeaderOfBits(h);
    if (BeginRasterPage(page, h, bitsThrough, number).fault != PageFault::None)
      break;
    if (uint64_t{h.cupsWidth} * h.cupsHeight > kPixelBudget)
      break;
    std::vector<uint8_t> line(h.cupsBytesPerLine);
    bool whole = true;
    for (unsigned y = 0; whole && y < h.cupsHeight; ++y)
      whole = cupsRasterReadPixels(ras, line.data(), h.cupsBytesPerLine) == h.cupsBytesPerLine &&
              AddRasterLine(page, h, y, line.data()).fault == PageFault::None;
    const unsigned copies = h.NumCopies % 3 + 1;
    if (PrintRasterPage(page, h, number, settings, copies, sink).fault != PageFault::None)
      break;
    stream.clear();
  }
  cupsRasterClose(ras);
  return 0;
}
