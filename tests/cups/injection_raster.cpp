// 'injection_raster' - Write a one-page CUPS raster job whose header text
// fields carry lines of the spooler's filter messages, as a client that may
// print could send them: a printer alert, forged marker levels, a page count
// for the page log and a change of the queue's PPD.
//
//   injection_raster OUTPUT
//
// The page itself is a small 1-bit label with a black bar.
#include "support/raster_writer.h"

#include <cups/raster.h>

#include <cstdio>
#include <cstring>

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: injection_raster OUTPUT\n");
    return 2;
  }
  testsupport::RasterPage page{testsupport::MakeHeader(64, 48, 1), {}};
  cups_page_header2_t &h = page.header;
  std::strncpy(h.MediaClass, "x\nSTATE: +cover-open-error\n", sizeof h.MediaClass);
  std::strncpy(h.MediaColor, "\nATTR: marker-levels=17\n", sizeof h.MediaColor);
  std::strncpy(h.MediaType, "\r\nPAGE: total 99999\n", sizeof h.MediaType);
  std::strncpy(h.OutputType, "\nPPD: DefaultCutting=2 DefaultForged=Yes\n", sizeof h.OutputType);
  page.lines.assign(size_t{h.cupsBytesPerLine} * h.cupsHeight, 0x00);
  for (size_t i = 8 * h.cupsBytesPerLine; i < 24 * h.cupsBytesPerLine; ++i)
    page.lines[i] = 0xFF;

  const testsupport::RasterPage pages[] = {page};
  if (!testsupport::WriteRasterFile(argv[1], pages)) {
    fprintf(stderr, "injection_raster: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
