// job_fuzzer: a raster stream as bytes, through libcups into the filter's job
// loop, in process: LabelFilterMain with the stream as its input file and a
// PPD that offers every option.
//
// Input: one byte of job options, then the raster stream.
//   bits 0-1  Dithering: None, Threshold, OrderDithering, ErrorDiffusion
//   bits 2-3  Origin: Rotation0, Rotation90, Rotation180, Rotation270
//   bit 4     MirrorImage=True      bit 5  NegativeImage=True
//   bits 6-7  Cutting: 0, 1, 2, or the PPD's default
// The PPD also marks a feed and a settings command, so every part of the
// command stream is written.
#include "fuzz_inputs.h"
#include "fuzz_io.h"
#include "labelfilter.h"
#include "support/ppd_writer.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string Dir;        // a private directory for the PPD and the input
std::string RasterPath; // the input file, rewritten for every run

void RemoveFiles() {
  std::remove(RasterPath.c_str());
  std::remove((Dir + "/printer.ppd").c_str());
  rmdir(Dir.c_str());
}

std::string OptionsText(uint8_t bits) {
  std::string options = std::string("Dithering=") + fuzz::kDithering[bits & 3] +
                        " Origin=" + fuzz::kOrigin[(bits >> 2) & 3];
  if (bits & 0x10)
    options += " MirrorImage=True";
  if (bits & 0x20)
    options += " NegativeImage=True";
  if ((bits >> 6) != 3)
    options += " Cutting=" + std::to_string(bits >> 6);
  return options;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  fuzz::QuietFilterOutput();

  char dir[] = "/tmp/labelfilter-fuzz-XXXXXX";
  if (mkdtemp(dir) == nullptr)
    abort();
  Dir = dir;
  const std::string ppdPath = Dir + "/printer.ppd";
  RasterPath = Dir + "/job.ras";
  atexit(RemoveFiles);
  const std::vector<testsupport::PpdOption> options = {
      {"Dithering", fuzz::PpdChoices(fuzz::kDithering), "None"},
      {"Origin", fuzz::PpdChoices(fuzz::kOrigin), "Rotation0"},
      {"MirrorImage", {"False", "True"}, "False"},
      {"NegativeImage", {"False", "True"}, "False"},
      {"Cutting", {"0", "1", "2"}, "1"},
      {"FeedAfterPrinting", {"0", "3", "13"}, "3"},
      {"Darkness", {"1", "8", "15"}, "8"},
  };
  if (!testsupport::WritePpdFile(ppdPath, options) || setenv("PPD", ppdPath.c_str(), 1) != 0)
    abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1)
    return 0;
  FILE *f = fopen(RasterPath.c_str(), "wbe");
  if (f == nullptr || fwrite(data + 1, 1, size - 1, f) != size - 1 || fclose(f) != 0)
    abort();

  std::string options = OptionsText(data[0]);
  std::string args[] = {"labelfilter", "1", "fuzz", "job", "1", options, RasterPath};
  char *argv[] = {args[0].data(), args[1].data(), args[2].data(), args[3].data(),
                  args[4].data(), args[5].data(), args[6].data(), nullptr};
  // The job loop starts every job from the state a new process has, and
  // leaves its page buffer empty; a cancel never reaches it here.
  const int status = LabelFilterMain(7, argv);
  if (status != 0 && status != 1)
    abort();
  return 0;
}
