// 'label_rasters' - Write one label page as the printer application receives
// it (PWG raster) and as the filter receives it (CUPS raster), from the same
// drawing, so that their printer streams can be compared byte for byte.
//
//   label_rasters DIR WIDTH HEIGHT [COPIES [MEDIA-WIDTH MEDIA-HEIGHT]]
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
//   gray.png        8-bit gray PNG: the same page
//   gray.jpg        gray JPEG of the same page, at quality 90
//   gray-jpeg.ras   CUPS raster, 8-bit black: gray.jpg as libjpeg decodes it
// and with a media size:
//   bilevel-on-media.ras  CUPS raster, 1-bit: bilevel.ras laid on the media as
//                   PAPPL 1.3.1 lays a 1-bit page out, each row cut or widened
//                   with white to the media's width, rows cut or added in
//                   white to its height
#include "gray_png.h"
#include "support/label_page.h"
#include "support/raster_writer.h"

#include <cups/raster.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

#include <jpeglib.h> // after <cstdio>: it needs FILE and size_t

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

// 'OnMedia()' - The 1-bit page laid on media of 'width' x 'height' dots.
LabelPage OnMedia(const LabelPage &page, int width, int height) {
  LabelPage media{width, height, 1, (static_cast<size_t>(width) + 7) / 8, {}};
  media.pixels.assign(media.bytesPerLine * static_cast<size_t>(height), 0);
  const size_t bytes = std::min(media.bytesPerLine, page.bytesPerLine);
  for (int y = 0; y < std::min(height, page.height); ++y) {
    uint8_t *row = media.pixels.data() + media.bytesPerLine * static_cast<size_t>(y);
    std::copy_n(page.pixels.begin() + static_cast<std::ptrdiff_t>(page.bytesPerLine * y), bytes,
                row);
    // No dot past the media's width.
    for (int x = width; x < static_cast<int>(8 * media.bytesPerLine); ++x)
      row[x / 8] &= static_cast<uint8_t>(~(0x80 >> (x % 8)));
  }
  return media;
}

// 'WriteFile()' - The bytes as the file at 'path'.
bool WriteFile(const std::string &path, const std::vector<uint8_t> &bytes) {
  FILE *fp = fopen(path.c_str(), "wb");
  if (!fp)
    return false;
  const bool ok = fwrite(bytes.data(), 1, bytes.size(), fp) == bytes.size();
  return fclose(fp) == 0 && ok;
}

// 'WriteJpeg()' - The sgray page as a gray JPEG file of quality 90, and the
// page libjpeg decodes from it as 8-bit black (255 = black): the ringing
// around every edge gives the conversion many grays to decide.
bool WriteJpeg(const std::string &path, int width, int height, const std::vector<uint8_t> &sgray,
               LabelPage &decoded) {
  jpeg_error_mgr errors;
  jpeg_compress_struct cinfo;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  unsigned char *bytes = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &bytes, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 1;
  cinfo.in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 90, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<uint8_t *>(sgray.data()) + size_t{cinfo.next_scanline} * width;
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  const std::vector<uint8_t> file(bytes, bytes + size);
  free(bytes);

  jpeg_decompress_struct dinfo;
  dinfo.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&dinfo);
  jpeg_mem_src(&dinfo, file.data(), file.size());
  jpeg_read_header(&dinfo, TRUE);
  dinfo.out_color_space = JCS_GRAYSCALE;
  jpeg_start_decompress(&dinfo);
  decoded = LabelPage{width, height, 8, static_cast<size_t>(width), {}};
  decoded.pixels.resize(decoded.bytesPerLine * static_cast<size_t>(height));
  while (dinfo.output_scanline < dinfo.output_height) {
    JSAMPROW row = decoded.pixels.data() + size_t{dinfo.output_scanline} * decoded.bytesPerLine;
    jpeg_read_scanlines(&dinfo, &row, 1);
  }
  jpeg_finish_decompress(&dinfo);
  jpeg_destroy_decompress(&dinfo);
  for (uint8_t &v : decoded.pixels)
    v = static_cast<uint8_t>(255 - v);
  return WriteFile(path, file);
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
  if (argc != 4 && argc != 5 && argc != 7) {
    fprintf(stderr, "usage: label_rasters DIR WIDTH HEIGHT [COPIES [MEDIA-WIDTH MEDIA-HEIGHT]]\n");
    return 2;
  }
  const std::string dir = argv[1];
  const int width = atoi(argv[2]);
  const int height = atoi(argv[3]);
  const unsigned copies = argc >= 5 ? static_cast<unsigned>(atoi(argv[4])) : 1;

  const LabelPage gray = DrawLabelPage(width, height, 8);
  std::vector<uint8_t> sgray(gray.pixels);
  for (uint8_t &v : sgray)
    v = static_cast<uint8_t>(255 - v);
  const LabelPage bilevel = DrawLabelPage(width, height, 1);
  const LabelPage wide = DrawLabelPage(900, 40, 8);

  const std::optional<std::vector<uint8_t>> png =
      preview::EncodeGrayPng(labels::GrayCanvas{width, height, sgray});
  LabelPage jpeg;
  bool ok =
      png && WriteFile(dir + "/gray.png", *png) &&
      WriteJpeg(dir + "/gray.jpg", width, height, sgray, jpeg) &&
      WriteCups(dir + "/gray-jpeg.ras", jpeg, copies) &&
      WriteCups(dir + "/gray.ras", gray, copies) &&
      WriteCups(dir + "/bilevel.ras", bilevel, copies) &&
      WritePwg(dir + "/gray-sgray.pwg", "sgray_8", width, height, sgray) &&
      WritePwg(dir + "/gray-black8.pwg", "black_8", width, height, gray.pixels) &&
      WritePwg(dir + "/bilevel.pwg", "black_1", width, height, bilevel.pixels) &&
      WritePwg(dir + "/wide.pwg", "sgray_8", 900, 40, wide.pixels) &&
      WritePwg(dir + "/too-wide.pwg", "sgray_8", 16400, 2, std::vector<uint8_t>(16400 * 2, 255)) &&
      WritePwg(dir + "/gray-sgray.urf", "sgray_8", width, height, sgray, CUPS_RASTER_WRITE_APPLE) &&
      (argc != 7 || WriteCups(dir + "/bilevel-on-media.ras",
                              OnMedia(bilevel, atoi(argv[5]), atoi(argv[6])), copies));
  if (!ok) {
    fprintf(stderr, "label_rasters: cannot write the pages into %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
