#include "test_page.h"

#include "gray_png.h"
#include "labels/maintenance_labels.h"
#include "labels/self_test_settings.h"
#include "printer_model.h"
#include "settings_map.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// PAPPL sizes are in hundredths of a millimetre.
int Dots(int hundredthsMm) {
  return static_cast<int>(std::lround(hundredthsMm * static_cast<double>(kDotsPerInch) / 2540.0));
}

} // namespace

const char *LabelTestPage(pappl_printer_t *printer, char *buffer, size_t bufsize) {
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(printer, &data);
  pappl_pr_options_t defaults{};
  defaults.darkness_configured = data.darkness_configured;
  defaults.print_speed = data.speed_default;
  ipp_t *attrs = papplPrinterGetDriverAttributes(printer);
  std::vector<std::string> ignored;
  const ChoiceKeywords choices = JobChoiceKeywords(defaults, nullptr, attrs, ignored);
  ippDelete(attrs);

  const labels::SelfTestContent content{papplPrinterGetName(printer),
                                        labels::SelfTestSettings(choices)};
  const labels::GrayCanvas canvas = labels::DrawSelfTestLabel(
      content, Dots(data.media_default.size_width), Dots(data.media_default.size_length));
  if (canvas.width == 0)
    return nullptr;

  const std::optional<std::vector<uint8_t>> png = preview::EncodeGrayPng(canvas);
  if (!png)
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
  const bool written = fwrite(png->data(), 1, png->size(), f) == png->size();
  if (fclose(f) != 0 || !written) {
    unlink(path.c_str());
    return nullptr;
  }
  papplCopyString(buffer, path.c_str(), bufsize);
  return buffer;
}
