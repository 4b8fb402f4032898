#include "support/raster_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace testsupport {

namespace {

constexpr unsigned kDpi = 203;

struct RasterCloser {
  void operator()(cups_raster_t *r) const { cupsRasterClose(r); }
};
using RasterPtr = std::unique_ptr<cups_raster_t, RasterCloser>;

// Pages that libcups would crash on or that do not hold whole lines.
bool Writable(const RasterPage &page) {
  const unsigned bytesPerLine = page.header.cupsBytesPerLine;
  if (bytesPerLine == 0 || page.lines.size() % bytesPerLine != 0)
    return false;
  return page.lines.size() / bytesPerLine <= page.header.cupsHeight;
}

bool WritePages(cups_raster_t *raster, std::span<const RasterPage> pages) {
  if (raster == nullptr)
    return false;
  for (const RasterPage &page : pages) {
    cups_page_header2_t header = page.header;
    if (!cupsRasterWriteHeader2(raster, &header))
      return false;
    const unsigned bytesPerLine = header.cupsBytesPerLine;
    std::vector<uint8_t> line(bytesPerLine);
    for (size_t offset = 0; offset < page.lines.size(); offset += bytesPerLine) {
      // libcups takes a writable pointer; give it a copy of the line.
      std::memcpy(line.data(), page.lines.data() + offset, bytesPerLine);
      if (cupsRasterWritePixels(raster, line.data(), bytesPerLine) != bytesPerLine)
        return false;
    }
  }
  return true;
}

bool AllWritable(std::span<const RasterPage> pages) {
  for (const RasterPage &page : pages)
    if (!Writable(page))
      return false;
  return true;
}

ssize_t AppendToVector(void *ctx, unsigned char *buffer, size_t length) {
  auto *bytes = static_cast<std::vector<uint8_t> *>(ctx);
  bytes->insert(bytes->end(), buffer, buffer + length);
  return static_cast<ssize_t>(length);
}

} // namespace

cups_page_header2_t MakeHeader(unsigned width, unsigned height, unsigned bitsPerPixel,
                               std::optional<unsigned> bytesPerLine) {
  cups_page_header2_t h;
  std::memset(&h, 0, sizeof h);
  h.HWResolution[0] = h.HWResolution[1] = kDpi;
  h.PageSize[0] = width * 72 / kDpi;
  h.PageSize[1] = height * 72 / kDpi;
  h.ImagingBoundingBox[2] = h.PageSize[0];
  h.ImagingBoundingBox[3] = h.PageSize[1];
  h.NumCopies = 1;
  h.cupsWidth = width;
  h.cupsHeight = height;
  h.cupsBitsPerPixel = bitsPerPixel;
  h.cupsColorOrder = CUPS_ORDER_CHUNKED;
  if (bitsPerPixel == 24) {
    h.cupsColorSpace = CUPS_CSPACE_RGB;
    h.cupsBitsPerColor = 8;
  } else {
    h.cupsColorSpace = CUPS_CSPACE_K;
    h.cupsBitsPerColor = bitsPerPixel;
  }
  const uint64_t bits = uint64_t{width} * bitsPerPixel;
  h.cupsBytesPerLine = bytesPerLine ? *bytesPerLine : static_cast<unsigned>((bits + 7) / 8);
  std::snprintf(h.MediaType, sizeof h.MediaType, "%s", "Labels");
  std::snprintf(h.cupsPageSizeName, sizeof h.cupsPageSizeName, "%s", "Custom");
  return h;
}

bool WriteRasterFile(const std::string &path, std::span<const RasterPage> pages, cups_mode_t mode) {
  if (!AllWritable(pages))
    return false;
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0)
    return false;
  bool ok;
  {
    RasterPtr raster(cupsRasterOpen(fd, mode));
    ok = WritePages(raster.get(), pages);
  }
  return close(fd) == 0 && ok;
}

std::optional<std::vector<uint8_t>> WriteRaster(std::span<const RasterPage> pages,
                                                cups_mode_t mode) {
  if (!AllWritable(pages))
    return std::nullopt;
  std::vector<uint8_t> bytes;
  {
    RasterPtr raster(cupsRasterOpenIO(AppendToVector, &bytes, mode));
    if (!WritePages(raster.get(), pages))
      return std::nullopt;
  }
  return bytes;
}

} // namespace testsupport
