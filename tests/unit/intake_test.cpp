// The intake of a page's lines at every depth against the model of the
// printer's conversion (tests/models), and the job's end.
#include "intake.h"
#include "job_end.h"

#include "models/conversion_model.h"
#include "support/label_page.h"

#include <gtest/gtest.h>

#include "working_image.h"

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// What the engine hands its sink for one page.
struct Captured {
  std::string log; // the trace lines
  std::map<Dump, Bytes> dumps;
  Bytes printed;
  EngineSink Sink() {
    return EngineSink{[this](LogLevel level, std::string_view lines) {
                        if (level == LogLevel::Trace)
                          log += lines;
                      },
                      [this](std::span<const uint8_t> bytes) {
                        printed.insert(printed.end(), bytes.begin(), bytes.end());
                        return true;
                      },
                      [this](Dump dump, std::span<const std::span<const uint8_t>> parts) {
                        Bytes &bytes = dumps[dump];
                        for (std::span<const uint8_t> part : parts)
                          bytes.insert(bytes.end(), part.begin(), part.end());
                      }};
  }
};

RasterLines Lines(const Bytes &bytes, LineFormat format, const LabelPage &page) {
  RasterLines lines;
  lines.bytes.assign(bytes.begin(), bytes.end());
  lines.format = format;
  lines.width = page.width;
  lines.height = page.height;
  lines.bytesPerLine = page.bytesPerLine;
  return lines;
}

// The model's conversion of the page's lines with the "Dithering" choice.
e2e::ConvertedPage Model(const LabelPage &page, const Bytes &lines, const std::string &choice) {
  cups_page_header2_t h{};
  h.cupsWidth = static_cast<unsigned>(page.width);
  h.cupsBitsPerPixel = static_cast<unsigned>(page.bitsPerPixel);
  h.cupsBytesPerLine = static_cast<unsigned>(page.bytesPerLine);
  return e2e::ConvertPage(h, lines, static_cast<unsigned>(page.height), &choice);
}

const std::pair<GrayConversion, std::string> kModes[] = {
    {GrayConversion::EdgeAware, "None"},
    {GrayConversion::Threshold, "Threshold"},
    {GrayConversion::OrderDithering, "OrderDithering"},
    {GrayConversion::ErrorDiffusion, "ErrorDiffusion"},
};

// Gray lines (255 = black) in every mode: the model's dots and page dump;
// traced, the lines themselves as the raw dump after the row length's line.
TEST(Intake, GrayLinesBecomeTheModelsDotsAndTheirTraceIsTheLinesAsTheyCame) {
  const LabelPage page = DrawLabelPage(203, 240, 8, 3, 207);
  for (const auto &[mode, choice] : kModes) {
    const e2e::ConvertedPage expected = Model(page, page.pixels, choice);
    Captured out;
    RasterLines lines = Lines(page.pixels, LineFormat::Gray8, page);
    lines.traceGrayLines = true;
    const PackedPage dots = IntakePage(std::move(lines), mode, out.Sink());
    EXPECT_EQ(Bytes(dots.bits.begin(), dots.bits.end()), expected.packed) << choice;
    EXPECT_EQ(dots.stride, expected.stride);
    EXPECT_FALSE(dots.blackIsOne);
    EXPECT_EQ(out.dumps[Dump::PagePicture], expected.bmp);
    EXPECT_EQ(out.dumps[Dump::RawLines], page.pixels);
    // 203 pixels of 3 bytes, rounded up to whole 4 bytes: 612.
    EXPECT_TRUE(out.log.starts_with("BytePerLine =612 \n")) << out.log;
  }
}

// sgray lines (0 = black) give the dots of the same page in gray lines;
// untraced, no line and no raw dump.
TEST(Intake, SGrayLinesGiveTheDotsOfTheSamePageInGrayLines) {
  const LabelPage page = DrawLabelPage(161, 240, 8, 5);
  Bytes sgray = page.pixels;
  for (uint8_t &b : sgray)
    b = static_cast<uint8_t>(255 - b);
  for (const auto &[mode, choice] : kModes) {
    const e2e::ConvertedPage expected = Model(page, page.pixels, choice);
    Captured out;
    const PackedPage dots = IntakePage(Lines(sgray, LineFormat::SGray8, page), mode, out.Sink());
    EXPECT_EQ(Bytes(dots.bits.begin(), dots.bits.end()), expected.packed) << choice;
    EXPECT_EQ(out.dumps.count(Dump::RawLines), 0u);
    EXPECT_EQ(out.log.find("BytePerLine"), std::string::npos);
  }
}

// A page drawn row by row on another thread while it is converted: lines of
// InPlaceLineBytes(width) bytes, those not yet drawn full of a gray noise
// that would change the decisions if the conversion read it early.
struct DrawnLater {
  PageBytes lines;
  ArrivingRows arriving;
  std::thread drawer;

  DrawnLater(const Bytes &sgray, const LabelPage &page, int rowsAtOnce, int stopAfter) {
    const size_t stride = InPlaceLineBytes(page.width);
    lines.resize(stride * static_cast<size_t>(page.height));
    for (size_t i = 0; i < lines.size(); ++i)
      lines[i] = static_cast<uint8_t>(i * 37 % 200 + 20);
    uint8_t *to = lines.data();
    drawer = std::thread([this, &sgray, page, rowsAtOnce, stopAfter, stride, to] {
      for (int y = 0; y < stopAfter; ++y) {
        uint8_t *row = to + stride * static_cast<size_t>(y);
        std::copy_n(sgray.begin() + static_cast<ptrdiff_t>(page.bytesPerLine) * y, page.width, row);
        std::fill(row + page.width, row + stride, 255);
        if ((y + 1) % rowsAtOnce == 0 || y + 1 == stopAfter) {
          arriving.Drawn(y + 1);
          std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
      }
      arriving.Close();
    });
  }
  ~DrawnLater() { drawer.join(); }

  RasterLines Lines(const LabelPage &page) {
    RasterLines taken;
    taken.bytes = std::move(lines);
    taken.format = LineFormat::SGray8;
    taken.width = page.width;
    taken.height = page.height;
    taken.bytesPerLine = InPlaceLineBytes(page.width);
    return taken;
  }
};

// Lines converted as they are drawn, a row or a band at a time, give the
// model's dots in every mode; lines that stop short give no page.
TEST(Intake, ArrivingSGrayLinesGiveTheModelsDotsAtAnyPace) {
  const LabelPage page = DrawLabelPage(203, 150, 8, 2);
  Bytes sgray = page.pixels;
  for (uint8_t &b : sgray)
    b = static_cast<uint8_t>(255 - b);
  for (const auto &[mode, choice] : kModes) {
    const e2e::ConvertedPage expected = Model(page, page.pixels, choice);
    for (int rowsAtOnce : {1, 7, 150}) {
      Captured out;
      DrawnLater drawn(sgray, page, rowsAtOnce, page.height);
      const std::optional<PackedPage> dots =
          IntakeArrivingPage(drawn.Lines(page), drawn.arriving, mode, out.Sink());
      ASSERT_TRUE(dots) << choice << ", " << rowsAtOnce << " rows at once";
      EXPECT_EQ(Bytes(dots->bits.begin(), dots->bits.end()), expected.packed)
          << choice << ", " << rowsAtOnce << " rows at once";
      EXPECT_EQ(out.dumps[Dump::PagePicture], expected.bmp);
    }
    Captured out;
    DrawnLater cut(sgray, page, 1, 100);
    EXPECT_FALSE(IntakeArrivingPage(cut.Lines(page), cut.arriving, mode, out.Sink())) << choice;
  }
}

// Colour lines take the edge-aware conversion whatever the job's mode.
TEST(Intake, ColourLinesTakeTheEdgeAwareConversionInEveryMode) {
  const LabelPage page = DrawLabelPage(160, 240, 24, 1, 482);
  const e2e::ConvertedPage expected = Model(page, page.pixels, "None");
  for (const auto &[mode, choice] : kModes) {
    Captured out;
    const PackedPage dots =
        IntakePage(Lines(page.pixels, LineFormat::Colour24, page), mode, out.Sink());
    EXPECT_EQ(Bytes(dots.bits.begin(), dots.bits.end()), expected.packed) << choice;
    EXPECT_EQ(out.dumps[Dump::PagePicture], expected.bmp);
  }
}

// 1-bit lines are the page as they stand: line length, padding and 1 = black.
TEST(Intake, OneBitLinesAreThePageAsTheyStand) {
  const LabelPage page = DrawLabelPage(70, 12, 1, 2, 11);
  Captured out;
  const PackedPage dots = IntakePage(Lines(page.pixels, LineFormat::Black1, page),
                                     GrayConversion::Threshold, out.Sink());
  EXPECT_EQ(Bytes(dots.bits.begin(), dots.bits.end()), page.pixels);
  EXPECT_EQ(dots.stride, 11);
  EXPECT_EQ(dots.width, 70);
  EXPECT_EQ(dots.height, 12);
  EXPECT_TRUE(dots.blackIsOne);
  EXPECT_TRUE(out.log.empty());
  EXPECT_TRUE(out.dumps.empty());
}

// "Cutting" "2" cuts once at the end of the job (GS V 0); other choices send
// nothing there.
TEST(EndJob, CutsOnceWhenTheJobAsksForACutAtItsEnd) {
  for (Cutting cutting : {Cutting::None, Cutting::EveryPage, Cutting::EndOfJob}) {
    JobSettings settings;
    settings.cutting = cutting;
    Captured out;
    EXPECT_TRUE(EndJob(settings, out.Sink()));
    const Bytes cut = {0x1D, 0x56, 0x00};
    EXPECT_EQ(out.printed, cutting == Cutting::EndOfJob ? cut : Bytes());
  }
}

TEST(EndJob, FailsWhenThePrinterTakesNoMore) {
  JobSettings settings;
  settings.cutting = Cutting::EndOfJob;
  const EngineSink gone{[](LogLevel, std::string_view) {},
                        [](std::span<const uint8_t>) { return false; },
                        [](Dump, std::span<const std::span<const uint8_t>>) {}};
  EXPECT_FALSE(EndJob(settings, gone));
}

} // namespace
