#include "test_page.h"

#include "labels/maintenance_labels.h"
#include "labels/self_test_settings.h"
#include "settings_map.h"

#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// PAPPL sizes are in hundredths of a millimetre; the printer has 203 dots
// to the inch.
int Dots(int hundredthsMm) {
  return static_cast<int>(
      std::lround(hundredthsMm * static_cast<double>(labels::kDotsPerInch) / 2540.0));
}

// libpng reports its errors with a longjmp: one small frame, no C++ objects.
bool WriteGrayPng(FILE *f, const labels::GrayCanvas &canvas) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, static_cast<png_uint_32>(canvas.width),
               static_cast<png_uint_32>(canvas.height), 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // 203 dots per inch are 7992 per metre.
  png_set_pHYs(png, info, 7992, 7992, PNG_RESOLUTION_METER);
  png_write_info(png, info);
  for (int y = 0; y < canvas.height; ++y)
    png_write_row(png, canvas.pixels.data() + static_cast<size_t>(y) * canvas.width);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

} // namespace

const char *LabelTestPage(pappl_printer_t *printer, char *buffer, size_t bufsize) {
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(printer, &data);
  pappl_pr_options_t defaults{};
  defaults.darkness_configured = data.darkness_configured;
  defaults.print_speed = data.speed_default;
  ipp_t *attrs = papplPrinterGetDriverAttributes(printer);
  const ChoiceKeywords choices = JobChoiceKeywords(defaults, attrs);
  ippDelete(attrs);

  const labels::SelfTestContent content{papplPrinterGetName(printer),
                                        labels::SelfTestSettings(choices)};
  const labels::GrayCanvas canvas = labels::DrawSelfTestLabel(
      content, Dots(data.media_default.size_width), Dots(data.media_default.size_length));
  if (canvas.width == 0)
    return nullptr;

  // A new file of our own, never one that is there already.
  std::string path = std::string(papplGetTempDir()) + "/label-test-page-XXXXXX.png";
  const int fd = mkstemps(path.data(), 4);
  if (fd < 0)
    return nullptr;
  FILE *f = fdopen(fd, "wb");
  if (!f) {
    close(fd);
    unlink(path.c_str());
    return nullptr;
  }
  const bool written = WriteGrayPng(f, canvas);
  if (fclose(f) != 0 || !written) {
    unlink(path.c_str());
    return nullptr;
  }
  papplCopyString(buffer, path.c_str(), bufsize);
  return buffer;
}
