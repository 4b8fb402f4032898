// 'label_rasters' - Write one label page as the printer application receives
// it (PWG raster) and as the filter receives it (CUPS raster), from the same
// drawing, so that their printer streams can be compared byte for byte.
//
//   label_rasters DIR WIDTH HEIGHT [COPIES]
//
// writes into DIR:
//   gray.ras        CUPS raster, 8-bit black (255 = black), NumCopies COPIES
//   gray-sgray.pwg  PWG raster sgray_8: the same page, 0 = black
//   gray-black8.pwg PWG raster black_8: the same bytes as gray.ras
//   bilevel.ras     CUPS raster, 1-bit black of the page drawn at 1 bit
//   bilevel.pwg     PWG raster black_1: the same bytes as bilevel.ras
//   wide.pwg        PWG raster sgray_8, 900 dots: wider than the head
//   too-wide.pwg    PWG raster sgray_8, 16400 x 2 dots: wider than any page taken
//   gray-sgray.urf  Apple raster sgray_8: the same page as gray-sgray.pwg
#include "support/label_page.h"
#include "support/raster_writer.h"

#include <cups/raster.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// 'WritePwg()' - One page of PWG raster (or Apple raster) of the given
// type and lines.
bool WritePwg(const std::string &path, const char *type, unsigned width, unsigned height,
              const std::vector<uint8_t> &lines, cups_mode_t mode = CUPS_RASTER_WRITE_PWG) {
  cups_page_header2_t h;
  // The header as an IPP Everywhere client makes it for a 203 dpi page of
  // this many dots.
  pwg_media_t *media =
      pwgMediaForSize(static_cast<int>(width * 2540 / 203), static_cast<int>(height * 2540 / 203));
  if (!cupsRasterInitPWGHeader(&h, media, type, 203, 203, "one-sided", nullptr))
    return false;
  h.cupsWidth = width;
  h.cupsHeight = height;
  h.cupsBytesPerLine = (width * h.cupsBitsPerPixel + 7) / 8;
  h.PageSize[0] = (width * 72 + 101) / 203;
  h.PageSize[1] = (height * 72 + 101) / 203;
  h.cupsInteger[CUPS_RASTER_PWG_ImageBoxLeft] = 0;
  h.cupsInteger[CUPS_RASTER_PWG_ImageBoxTop] = 0;
  h.cupsInteger[CUPS_RASTER_PWG_ImageBoxRight] = width;
  h.cupsInteger[CUPS_RASTER_PWG_ImageBoxBottom] = height;
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0)
    return false;
  cups_raster_t *ras = cupsRasterOpen(fd, mode);
  bool ok = ras && cupsRasterWriteHeader2(ras, &h);
  for (unsigned y = 0; ok && y < height; ++y)
    ok = cupsRasterWritePixels(ras, const_cast<uint8_t *>(lines.data()) + y * h.cupsBytesPerLine,
                               h.cupsBytesPerLine) == h.cupsBytesPerLine;
  if (ras)
    cupsRasterClose(ras);
  close(fd);
  return ok;
}

bool WriteCups(const std::string &path, const LabelPage &page, unsigned copies) {
  testsupport::RasterPage raster{
      testsupport::MakeHeader(page.width, page.height, page.bitsPerPixel, page.bytesPerLine),
      page.pixels};
  raster.header.NumCopies = copies;
  return testsupport::WriteRasterFile(path, std::span(&raster, 1));
}

} // namespace

int main(int argc, char *argv[]) {
  if (argc != 4 && argc != 5) {
    fprintf(stderr, "usage: label_rasters DIR WIDTH HEIGHT [COPIES]\n");
    return 2;
  }
  const std::string dir = argv[1];
  const int width = atoi(argv[2]);
  const int height = atoi(argv[3]);
  const unsigned copies = argc == 5 ? static_cast<unsigned>(atoi(argv[4])) : 1;

  const LabelPage gray = DrawLabelPage(width, height, 8);
  std::vector<uint8_t> sgray(gray.pixels);
  for (uint8_t &v : sgray)
    v = static_cast<uint8_t>(255 - v);
  const LabelPage bilevel = DrawLabelPage(width, height, 1);
  const LabelPage wide = DrawLabelPage(900, 40, 8);

  bool ok =
      WriteCups(dir + "/gray.ras", gray, copies) &&
      WriteCups(dir + "/bilevel.ras", bilevel, copies) &&
      WritePwg(dir + "/gray-sgray.pwg", "sgray_8", width, height, sgray) &&
      WritePwg(dir + "/gray-black8.pwg", "black_8", width, height, gray.pixels) &&
      WritePwg(dir + "/bilevel.pwg", "black_1", width, height, bilevel.pixels) &&
      WritePwg(dir + "/wide.pwg", "sgray_8", 900, 40, wide.pixels) &&
      WritePwg(dir + "/too-wide.pwg", "sgray_8", 16400, 2, std::vector<uint8_t>(16400 * 2, 255)) &&
      WritePwg(dir + "/gray-sgray.urf", "sgray_8", width, height, sgray, CUPS_RASTER_WRITE_APPLE);
  if (!ok) {
    fprintf(stderr, "label_rasters: cannot write the pages into %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
