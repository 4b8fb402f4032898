// The edge-aware pixel classifier on whole pages: mode 0's pixel loop after
// the Otsu pass, as the filter runs it (keeping the original grays of the
// rows around the row it decides), on label pages and on two pages that
// stress it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "classifier_page_loop.h"
#include "otsu.h"
#include "support/label_page.h"
#include "working_image.h"

namespace {

// A working image as the Otsu pass leaves it (one byte per pixel).
struct GrayPage {
  int cx = 0, cy = 0, nBytePerRow = 0;
  std::vector<uint8_t> image; // the working image before the classifier
};

GrayPage DrawGrays(int cx, int cy, const std::function<int(int, int)> &gray) {
  GrayPage page;
  page.cx = cx;
  page.cy = cy;
  page.nBytePerRow = static_cast<int>(WorkingImageStride(cx));
  const int cells = RowCells(page.nBytePerRow);
  page.image.assign(static_cast<size_t>(cells) * cy, 255);
  for (int y = 0; y < cy; ++y)
    for (int x = 0; x < cx; ++x)
      page.image[static_cast<size_t>(y) * cells + x] = static_cast<uint8_t>(gray(x, y));
  return page;
}

// Every other row flat; between them rows of 60, 160, 60, ...: each pixel of
// those rows sits under a run as long as the row.
const GrayPage &AdversarialPage() {
  static const GrayPage page = DrawGrays(1200, 1800, [](int x, int y) {
    return y % 2 == 0 ? 128 : x % 2 ? 160 : 60;
  });
  return page;
}

// Every pixel a gray of its own: runs of one or two pixels.
const GrayPage &NoisePage() {
  static const GrayPage page = [] {
    std::mt19937 rng(1);
    std::uniform_int_distribution<int> gray(0, 255);
    return DrawGrays(1200, 1800, [&](int, int) { return gray(rng); });
  }();
  return page;
}

// The photo of a label alone: a gradient with a darker blob and grain, as
// the label pages draw it. On a label most decisions are taken here, each
// pixel unlike its neighbours, a few pixels per decision.
const GrayPage &PhotoPage() {
  static const GrayPage page = [] {
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> grain(-14, 14);
    return DrawGrays(600, 450, [&](int x, int y) {
      const double light = PhotoLight(x / 600.0, y / 450.0) + grain(rng);
      return static_cast<int>(std::clamp(light, 0.0, 255.0));
    });
  }();
  return page;
}

// A 24-bit label page (the filter's colour path), through the Otsu pass.
GrayPage LabelPageAfterOtsu(int width, int height) {
  LabelPage label = DrawLabelPage(width, height, 24);
  GrayPage page;
  page.cx = width;
  page.cy = height;
  page.nBytePerRow = static_cast<int>(label.bytesPerLine);
  WorkingImage image = ColourWorkingImage(PageBytes(label.pixels.begin(), label.pixels.end()),
                                          label.bytesPerLine, width, height);
  otsu(image, 100);
  page.image.assign(image.pixels.begin(), image.pixels.end());
  return page;
}

void Classify(benchmark::State &state, const GrayPage &(*pageOf)()) {
  const GrayPage &page = pageOf();
  std::vector<uint8_t> work(page.image.size());
  for (auto _ : state) {
    std::copy(page.image.begin(), page.image.end(), work.begin());
    ClassifyPage(work, page.cx, page.cy, page.nBytePerRow);
    benchmark::DoNotOptimize(work.data());
    benchmark::ClobberMemory();
  }
  state.counters["Mpixel/s"] =
      benchmark::Counter(static_cast<double>(page.cx) * page.cy * state.iterations() / 1e6,
                         benchmark::Counter::kIsRate);
}

const GrayPage &Label812x1218() {
  static const GrayPage page = LabelPageAfterOtsu(812, 1218);
  return page;
}
const GrayPage &Label576x4000() {
  static const GrayPage page = LabelPageAfterOtsu(576, 4000);
  return page;
}
const GrayPage &Label1200x1800() {
  static const GrayPage page = LabelPageAfterOtsu(1200, 1800);
  return page;
}

BENCHMARK_CAPTURE(Classify, Adversarial1200x1800, AdversarialPage)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Classify, Noise1200x1800, NoisePage)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Classify, Photo600x450, PhotoPage)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Classify, Label812x1218, Label812x1218)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Classify, Label576x4000, Label576x4000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Classify, Label1200x1800, Label1200x1800)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
