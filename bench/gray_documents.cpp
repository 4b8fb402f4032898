// gray_documents - a gray picture as the documents a client prints.
//
//   gray_documents IN.pgm OUT.png OUT.pwg
//
// IN.pgm is a binary 8-bit PGM at 203 dpi (pdftoppm -gray -r 203). Writes
// the same pixels as an 8-bit gray PNG with its 203 dpi in a pHYs chunk,
// and as one page of PWG raster sgray_8 at 203 dpi, the page the size of
// the picture.
#include "gray_png.h"

#include <cups/raster.h>

#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kDpi = 203;

struct Gray {
  unsigned width = 0, height = 0;
  std::vector<unsigned char> pixels; // rows top to bottom, 0 = black
};

// 'ReadPgm()' - A binary PGM of at most 255 levels.
std::optional<Gray> ReadPgm(const char *path) {
  FILE *fp = fopen(path, "rb");
  if (!fp)
    return std::nullopt;
  Gray g;
  unsigned maxval = 0;
  std::optional<Gray> result;
  if (fscanf(fp, "P5 %u %u %u", &g.width, &g.height, &maxval) == 3 && maxval == 255 &&
      fgetc(fp) != EOF) {
    g.pixels.resize(size_t{g.width} * g.height);
    if (fread(g.pixels.data(), 1, g.pixels.size(), fp) == g.pixels.size())
      result = std::move(g);
  }
  fclose(fp);
  return result;
}

// 'WritePng()' - The picture as an 8-bit gray PNG at 203 dpi.
bool WritePng(const Gray &g, const char *path) {
  const std::optional<std::vector<uint8_t>> png = preview::EncodeGrayPng(
      labels::GrayCanvas{static_cast<int>(g.width), static_cast<int>(g.height), g.pixels});
  FILE *fp = png ? fopen(path, "wb") : nullptr;
  if (!fp)
    return false;
  const bool ok = fwrite(png->data(), 1, png->size(), fp) == png->size();
  return fclose(fp) == 0 && ok;
}

// 'WritePwg()' - The picture as one PWG raster page, sgray_8.
bool WritePwg(const Gray &g, const char *path) {
  cups_page_header2_t h;
  pwg_media_t *media = pwgMediaForSize(static_cast<int>(g.width * 2540 / kDpi),
                                       static_cast<int>(g.height * 2540 / kDpi));
  if (!cupsRasterInitPWGHeader(&h, media, "sgray_8", kDpi, kDpi, "one-sided", nullptr))
    return false;
  h.cupsWidth = g.width;
  h.cupsHeight = g.height;
  h.cupsBytesPerLine = g.width;
  h.PageSize[0] = (g.width * 72 + kDpi / 2) / kDpi;
  h.PageSize[1] = (g.height * 72 + kDpi / 2) / kDpi;
  const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0)
    return false;
  cups_raster_t *ras = cupsRasterOpen(fd, CUPS_RASTER_WRITE_PWG);
  bool ok = ras && cupsRasterWriteHeader2(ras, &h);
  for (unsigned y = 0; ok && y < g.height; ++y)
    ok = cupsRasterWritePixels(ras, const_cast<unsigned char *>(g.pixels.data()) + y * g.width,
                               g.width) == g.width;
  if (ras)
    cupsRasterClose(ras);
  return close(fd) == 0 && ok;
}

} // namespace

int main(int argc, char *argv[]) {
  if (argc != 4) {
    fprintf(stderr, "usage: gray_documents IN.pgm OUT.png OUT.pwg\n");
    return 2;
  }
  const std::optional<Gray> gray = ReadPgm(argv[1]);
  if (!gray) {
    fprintf(stderr, "gray_documents: %s is no 8-bit binary PGM\n", argv[1]);
    return 1;
  }
  if (!WritePng(*gray, argv[2]) || !WritePwg(*gray, argv[3])) {
    fprintf(stderr, "gray_documents: cannot write %s or %s\n", argv[2], argv[3]);
    return 1;
  }
  return 0;
}
