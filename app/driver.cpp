// The printer: 203 dpi, a head of 832 dots (104 mm), labels and receipt
// rolls, no margins. Its gray pages reach the engine as 8-bit gray, so that
// the engine's own gray conversion runs; 1-bit pages are printed as they are.
#include "driver.h"

#include "app_context.h"
#include "job.h"
#include "printer_data.h"
#include "printer_model.h"
#include "settings_map.h"
#include "test_page.h"

#include <cstring>
#include <iterator>

const pappl_pr_driver_t LabelDrivers[1] = {
    {kDriverName, "Generic Thermal Label Printer 203 dpi", nullptr, nullptr},
};

namespace {

// The PPD's page sizes as PWG names, with the web page's names for them. A
// receipt roll's page is its printable width: 48 mm of a 58 mm roll and
// 72 mm of an 80 mm roll, named a tenth of a millimetre wider so that the
// page is exactly 384 and 576 dots. Custom sizes go from 20 x 10 mm to the
// head's 104 mm x 1 m.
constexpr MediaSize kMedia[] = {
    {"om_58mm-roll_48.1x100mm", "58 mm roll, 100 mm"},
    {"om_58mm-roll_48.1x150mm", "58 mm roll, 150 mm"},
    {"om_58mm-roll_48.1x200mm", "58 mm roll, 200 mm"},
    {"om_58mm-roll_48.1x300mm", "58 mm roll, 300 mm"},
    {"om_80mm-roll_72.1x100mm", "80 mm roll, 100 mm"},
    {"om_80mm-roll_72.1x150mm", "80 mm roll, 150 mm"},
    {"om_80mm-roll_72.1x200mm", "80 mm roll, 200 mm"},
    {"om_80mm-roll_72.1x300mm", "80 mm roll, 300 mm"},
    {"om_40x30-label_40x30mm", "40 × 30 mm label"},
    {"om_50x25-label_50x25mm", "50 × 25 mm label"},
    {"om_50x30-label_50x30mm", "50 × 30 mm label"},
    {"om_60x40-label_60x40mm", "60 × 40 mm label"},
    {"om_70x50-label_70x50mm", "70 × 50 mm label"},
    {"om_100x50-label_100x50mm", "100 × 50 mm label"},
    {"om_100x100-label_100x100mm", "100 × 100 mm label"},
    {"om_100x150-label_100x150mm", "100 × 150 mm label"},
    {"oe_4x6-label_4x6in", "4 × 6 in label"},
    {"roll_min_20x10mm", "Custom size, from 20 × 10 mm"},
    {"roll_max_104x1000mm", "Custom size, up to 104 mm × 1 m"},
};
constexpr const char *kDefaultMedia = "oe_4x6-label_4x6in";

// Die-cut labels and continuous receipt paper, both on the printer's roll.
constexpr const char *kTypes[] = {"labels", "continuous"};
constexpr const char *kSource = "main-roll";

// 'FillMediaCol()' - A media-col for a PWG size on the roll, without margins.
void FillMediaCol(pappl_media_col_t &col, const char *name, const char *type) {
  col = pappl_media_col_t{};
  const pwg_media_t *pwg = pwgMediaForPWG(name);
  strncpy(col.size_name, name, sizeof col.size_name - 1);
  col.size_width = pwg ? pwg->width : 0;
  col.size_length = pwg ? pwg->length : 0;
  strncpy(col.source, kSource, sizeof col.source - 1);
  strncpy(col.type, type, sizeof col.type - 1);
  col.tracking = PAPPL_MEDIA_TRACKING_GAP;
}

// 'FillDither()' - A 16 x 16 ordered dither, for the pages PAPPL itself
// makes 1-bit (images printed in bi-level mode): the index of each cell in
// the recursive Bayer order, from its bits interleaved.
void FillDither(pappl_dither_t &dither) {
  for (unsigned y = 0; y < 16; ++y)
    for (unsigned x = 0; x < 16; ++x) {
      unsigned value = 0;
      const unsigned xy = x ^ y;
      for (unsigned bit = 0; bit < 4; ++bit)
        value |= (((xy >> bit) & 1) << (2 * (3 - bit) + 1)) | (((y >> bit) & 1) << (2 * (3 - bit)));
      dither[y][x] = static_cast<unsigned char>(value);
    }
}

} // namespace

std::span<const MediaSize> LabelMedia() { return kMedia; }

bool LabelDriverCallback(pappl_system_t *, const char *driver_name, const char *, const char *,
                         pappl_pr_driver_data_t *data, ipp_t **driver_attrs, void *cbdata) {
  if (strcmp(driver_name, kDriverName) != 0)
    return false;

  data->rstartjob_cb = LabelStartJob;
  data->rstartpage_cb = LabelStartPage;
  data->rwriteline_cb = LabelWriteLine;
  data->rendpage_cb = LabelEndPage;
  data->rendjob_cb = LabelEndJob;
  // The printer's own commands are sent on as they are.
  data->printfile_cb = LabelPrintFile;
  data->format = kPrinterFormat;
  // The test page is the engine's self-test label.
  data->testpage_cb = LabelTestPage;
  // The server's printers take no new job while the last one is finished,
  // and keep what their last job sent for its picture.
  if (cbdata)
    AttachPrinterData(*data, static_cast<AppContext *>(cbdata)->gate);

  strncpy(data->make_and_model, "Generic Thermal Label Printer 203 dpi",
          sizeof data->make_and_model - 1);
  data->ppm = 4;
  data->kind = static_cast<pappl_kind_t>(PAPPL_KIND_LABEL | PAPPL_KIND_ROLL | PAPPL_KIND_RECEIPT);
  data->orient_default = IPP_ORIENT_NONE;
  // No bi-level mode: the engine makes the dots from gray itself, and PAPPL
  // 1.3 hands a bi-level job's gray lines over under a header of another
  // polarity.
  data->color_supported =
      static_cast<pappl_color_mode_t>(PAPPL_COLOR_MODE_AUTO | PAPPL_COLOR_MODE_MONOCHROME);
  data->color_default = PAPPL_COLOR_MODE_MONOCHROME;
  data->content_default = PAPPL_CONTENT_AUTO;
  data->quality_default = IPP_QUALITY_NORMAL;
  // An image larger than the label is scaled to fit it whole: the media
  // have no margins, for which PAPPL's 'auto' would fill the label and cut
  // off the sides. The image filters take 'auto' as 'auto-fit' too.
  data->scaling_default = PAPPL_SCALING_AUTO_FIT;
  // Gray pages and 1-bit ones. The job's page is 8-bit gray all the same
  // (PAPPL 1.3 picks sgray for monochrome, and CUPS sends Apple raster W8),
  // so the engine's gray conversion makes the dots of a gray page; a 1-bit
  // page's bits are printed as they are (see PassesBitsThrough()).
  data->raster_types = static_cast<pappl_raster_type_t>(PAPPL_PWG_RASTER_TYPE_BLACK_1 |
                                                        PAPPL_PWG_RASTER_TYPE_BLACK_8 |
                                                        PAPPL_PWG_RASTER_TYPE_SGRAY_8);
  data->force_raster_type = PAPPL_PWG_RASTER_TYPE_NONE;
  data->duplex = PAPPL_DUPLEX_NONE;
  data->sides_supported = PAPPL_SIDES_ONE_SIDED;
  data->sides_default = PAPPL_SIDES_ONE_SIDED;
  data->finishings = PAPPL_FINISHINGS_NONE;
  FillDither(data->gdither);
  FillDither(data->pdither);

  data->num_resolution = 1;
  data->x_resolution[0] = data->y_resolution[0] = kDotsPerInch;
  data->x_default = data->y_default = kDotsPerInch;

  // Every page is printed to its edges. The media are offered with margins
  // of a hundredth of a millimetre too, less than a dot: a CUPS IPP
  // Everywhere queue names sizes without margins "4x6.Borderless" and so
  // on, and finds its default "4x6" only among sizes with margins.
  data->borderless = true;
  data->left_right = 1;
  data->bottom_top = 1;

  data->num_media = static_cast<int>(std::size(kMedia));
  for (int i = 0; i < data->num_media; ++i)
    data->media[i] = kMedia[i].name;
  data->num_source = 1;
  data->source[0] = kSource;
  data->num_type = static_cast<int>(std::size(kTypes));
  for (int i = 0; i < data->num_type; ++i)
    data->type[i] = kTypes[i];
  data->tracking_supported = static_cast<pappl_media_tracking_t>(PAPPL_MEDIA_TRACKING_GAP |
                                                                 PAPPL_MEDIA_TRACKING_CONTINUOUS);
  // The roll in the printer: 4 x 6 in labels, as the PPD's default size.
  FillMediaCol(data->media_default, kDefaultMedia, "labels");
  data->media_ready[0] = data->media_default;

  // Darkness and speed: see DarknessLevel() and SpeedLevel(). 0 % and
  // "automatic" leave the printer's own setting alone.
  data->darkness_supported = kDarknessLevels;
  data->darkness_configured = 0;
  data->darkness_default = 0;
  data->speed_supported[0] = kSpeedStep;
  data->speed_supported[1] = kSpeedLevels * kSpeedStep;
  data->speed_default = 0;

  *driver_attrs = ippNew();
  AddVendorAttributes(*data, *driver_attrs);
  return true;
}
