// page_fuzzer: one page through the filter's whole per-page path, in process:
// the header check, the intake by bit depth, every conversion mode, every
// orientation, mirror and polarity, and the page's command stream, which is
// read back with the preview's decoder and must be well formed.
//
// Input: a 12-byte page description, then the pixel bytes.
//   0-1   cupsWidth, little-endian
//   2-3   cupsHeight, little-endian
//   4     bits per pixel: 1, 8, 24 by the low two bits; 3 takes the byte as it is
//   5     bytes per line beyond the least that holds the pixels
//   6     bit 0: the page ends early, after (byte 7 / 256) of its lines
//   7     see byte 6
//   8     NumCopies 0 to 3
//   9     Dithering: None, Threshold, OrderDithering, ErrorDiffusion, an unknown choice
//   10    Origin (the value modulo 5, the fifth an unknown choice); bit 3
//         MirrorImage, bit 4 NegativeImage, bits 5-6 Cutting 0, 1, 2, none
//   11    FeedAfterPrinting and the settings commands: see Settings()
// The pixel bytes are repeated to fill the lines. A page is at most
// kPixelBudget pixels and kByteBudget bytes of lines, so that one run stays
// fast; the page limits themselves are checked before the budget.
#include "ProcessData.h"
#include "fuzz_io.h"
#include "intake.h"
#include "labelfilter.h"
#include "stream_decoder.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint64_t kPixelBudget = 1 << 16;
constexpr uint64_t kByteBudget = 1 << 18;
constexpr size_t kPrefix = 12;

int StreamFd = -1; // standard output: a memory file read back after every page

unsigned Le16(const uint8_t *p) { return p[0] | unsigned{p[1]} << 8; }

std::optional<std::string> Pick(std::initializer_list<const char *> choices, unsigned index) {
  const char *choice = choices.begin()[index % choices.size()];
  if (choice == nullptr)
    return std::nullopt;
  return std::string(choice);
}

JobSettings Settings(const uint8_t *p) {
  JobSettings s;
  s.Dithering = Pick({"None", "Threshold", "OrderDithering", "ErrorDiffusion", "Other"}, p[9]);
  s.Origin = Pick({"Rotation0", "Rotation90", "Rotation180", "Rotation270", "rotation9"}, p[10]);
  s.MirrorImage = (p[10] & 0x08) ? "True" : "False";
  s.NegativeImage = (p[10] & 0x10) ? "tRuE" : "False";
  s.Cutting = Pick({"0", "1", "2", nullptr}, p[10] >> 5);
  s.FeedAfterPrinting =
      Pick({nullptr, "0", "1", "4", "12", "13", "14", "-3", "300", "abc", "99999999999999999999"},
           p[11] & 0x0F);
  // Settings commands: none, in-range levels, or odd numbers the printer
  // gets as their low byte.
  if (p[11] & 0x10)
    s.Darkness = std::to_string(p[11] >> 5);
  if (p[11] & 0x20)
    s.PrintSpeed = "-1";
  if (p[11] & 0x40)
    s.UpwardOffset = "300";
  if (p[11] & 0x80)
    s.EdageEnhance = "x7";
  return s;
}

// The bytes written to standard output since the last call.
std::vector<uint8_t> TakeStream() {
  std::vector<uint8_t> bytes(static_cast<size_t>(lseek(StreamFd, 0, SEEK_CUR)));
  if (pread(StreamFd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()))
    abort();
  if (ftruncate(StreamFd, 0) != 0 || lseek(StreamFd, 0, SEEK_SET) != 0)
    abort();
  return bytes;
}

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
  StreamFd = memfd_create("printer-stream", MFD_CLOEXEC);
  if (StreamFd < 0 || dup2(StreamFd, STDOUT_FILENO) < 0)
    abort();
  close(StreamFd);
  StreamFd = STDOUT_FILENO;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < kPrefix)
    return 0;
  const uint8_t *p = data;
  const std::span<const uint8_t> pixels(data + kPrefix, size - kPrefix);

  cups_page_header2_t header;
  std::memset(&header, 0, sizeof header);
  header.cupsWidth = Le16(p);
  header.cupsHeight = Le16(p + 2);
  static constexpr unsigned kDepths[] = {1, 8, 24};
  header.cupsBitsPerPixel = (p[4] & 3) == 3 ? p[4] : kDepths[p[4] & 3];
  header.cupsBitsPerColor = header.cupsBitsPerPixel == 24 ? 8 : header.cupsBitsPerPixel;
  header.cupsBytesPerLine =
      static_cast<unsigned>((uint64_t{header.cupsWidth} * header.cupsBitsPerPixel + 7) / 8) + p[5];
  header.NumCopies = p[8] & 3;
  if (header.cupsHeight == 0 || PageHeaderProblem(header))
    return 0;
  const uint64_t bpl = header.cupsBytesPerLine;
  if (uint64_t{header.cupsWidth} * header.cupsHeight > kPixelBudget ||
      bpl * header.cupsHeight > kByteBudget)
    return 0;

  unsigned y = header.cupsHeight;
  if (p[6] & 1)
    y = static_cast<unsigned>(uint64_t{y} * p[7] / 256);

  // The page's lines, the pixel bytes over and over (zeros when there are none).
  Buffer = PageBytes(static_cast<size_t>(bpl * y));
  for (size_t i = 0; i < Buffer.size(); ++i)
    Buffer[i] = pixels.empty() ? 0 : pixels[i % pixels.size()];

  const JobSettings settings = Settings(p);
  std::vector<uint8_t> pDataBuf;
  std::optional<PackedPage> packed = IntakePage(header, Buffer, y, settings, pDataBuf);
  if (!packed) // a page within the limits is always converted
    abort();
  const PageOutcome outcome =
      ProcessData(settings, header, packed->pBuf, packed->biWidth, static_cast<int>(y));
  if (outcome == PageOutcome::OutputFailed)
    abort();
  CheckStream(TakeStream(), outcome == PageOutcome::Printed ? header.NumCopies : 0);
  Buffer = PageBytes();
  return 0;
}
