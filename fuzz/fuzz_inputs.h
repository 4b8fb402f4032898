// What the harnesses' input bytes stand for: the page and the job settings
// page_fuzzer makes of its bytes, and the option choices that page_fuzzer and
// job_fuzzer pick from. make_fuzz_seeds reads its page seeds through the same
// code, so that a decoder seed is the printer stream of a page seed.
//
// A page_fuzzer input: a 12-byte page description, then the pixel bytes.
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
//   11    FeedAfterPrinting and the settings commands: see Choices()
// The pixel bytes are repeated to fill the lines. A page is at most
// kPixelBudget pixels and kByteBudget bytes of lines, so that one run stays
// fast; the page limits themselves are checked before the budget.
#pragma once

#include "page_header.h"

#include <cups/raster.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace fuzz {

// The choices of the options that a job picks from. The first four of
// kDithering and kOrigin are the ones the printer's PPD offers; the fifth is
// a choice it does not know. nullptr: the option has no marked choice.
inline constexpr const char *kDithering[] = {"None", "Threshold", "OrderDithering",
                                             "ErrorDiffusion", "Other"};
inline constexpr const char *kOrigin[] = {"Rotation0", "Rotation90", "Rotation180", "Rotation270",
                                          "rotation9"};
inline constexpr size_t kPpdChoices = 4;
inline constexpr const char *kCutting[] = {"0", "1", "2", nullptr};
// Feeds in and out of the printer's range, and text that is no number.
inline constexpr const char *kFeedAfterPrinting[] = {
    nullptr, "0", "1", "4", "12", "13", "14", "-3", "300", "abc", "99999999999999999999"};

// The choices of kDithering or kOrigin that the PPD offers, for a PPD file.
inline std::vector<std::string> PpdChoices(std::span<const char *const> table) {
  return std::vector<std::string>(table.begin(), table.begin() + kPpdChoices);
}

// The choice at 'index', counted round the table.
inline std::optional<std::string> Pick(std::span<const char *const> choices, unsigned index) {
  const char *choice = choices[index % choices.size()];
  if (choice == nullptr)
    return std::nullopt;
  return std::string(choice);
}

inline constexpr size_t kPagePrefix = 12;
inline constexpr uint64_t kPixelBudget = 1 << 16;
inline constexpr uint64_t kByteBudget = 1 << 18;

inline unsigned Le16(const uint8_t *p) { return p[0] | unsigned{p[1]} << 8; }

// The job's choices of bytes 9-11 of a page description.
inline ChoiceKeywords Choices(const uint8_t *p) {
  ChoiceKeywords s;
  s.Dithering = Pick(kDithering, p[9]);
  s.Origin = Pick(kOrigin, p[10]);
  s.MirrorImage = (p[10] & 0x08) ? "True" : "False";
  s.NegativeImage = (p[10] & 0x10) ? "tRuE" : "False";
  s.Cutting = Pick(kCutting, p[10] >> 5);
  s.FeedAfterPrinting = Pick(kFeedAfterPrinting, p[11] & 0x0F);
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

// One page as page_fuzzer hands it to the filter.
struct PageInput {
  cups_page_header2_t header;
  unsigned lines = 0; // the lines that arrive, cupsHeight or fewer
  JobSettings settings;
  std::span<const uint8_t> pixels; // repeated to fill the lines
};

// The page of a page_fuzzer input, or nothing when the input is too short, the
// filter refuses its header, or the page is beyond the budget.
inline std::optional<PageInput> ReadPageInput(std::span<const uint8_t> data) {
  if (data.size() < kPagePrefix)
    return std::nullopt;
  const uint8_t *p = data.data();
  PageInput page;
  cups_page_header2_t &header = page.header;
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
    return std::nullopt;
  const uint64_t bpl = header.cupsBytesPerLine;
  if (uint64_t{header.cupsWidth} * header.cupsHeight > kPixelBudget ||
      bpl * header.cupsHeight > kByteBudget)
    return std::nullopt;

  page.lines = header.cupsHeight;
  if (p[6] & 1)
    page.lines = static_cast<unsigned>(uint64_t{page.lines} * p[7] / 256);
  page.settings = ParseSettings(Choices(p));
  page.pixels = data.subspan(kPagePrefix);
  return page;
}

// The page's raster lines: the pixel bytes over and over, whole copies of
// them and the start of one more (zeros when there are none).
inline PageBytes PageLines(const PageInput &page) {
  PageBytes lines(size_t{page.header.cupsBytesPerLine} * page.lines);
  const std::span<const uint8_t> pixels = page.pixels;
  if (pixels.empty()) {
    std::fill(lines.begin(), lines.end(), uint8_t{0});
    return lines;
  }
  for (size_t at = 0; at < lines.size(); at += pixels.size())
    std::copy_n(pixels.begin(), std::min(pixels.size(), lines.size() - at), lines.begin() + at);
  return lines;
}

} // namespace fuzz
