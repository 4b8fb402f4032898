#include "support/picture.h"

namespace testsupport {

void Picture::FillRows(int firstRow, int lastRow) {
  for (int y = firstRow; y <= lastRow; ++y)
    for (int x = 0; x < width; ++x)
      Set(x, y);
}

Picture Scattered(int width, int height, unsigned seed) {
  Picture picture(width, height);
  unsigned state = seed;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      state = state * 1103515245u + 12345u;
      picture.Set(x, y, (state >> 16) % 3 == 0);
    }
  return picture;
}

std::vector<uint8_t> RasterLines(const Picture &picture, unsigned bytesPerLine,
                                 uint8_t paddingByte) {
  std::vector<uint8_t> bytes(size_t(bytesPerLine) * size_t(picture.height), 0);
  const unsigned pixelBytes = unsigned(picture.width + 7) / 8;
  for (int y = 0; y < picture.height; ++y) {
    uint8_t *line = bytes.data() + size_t(y) * bytesPerLine;
    for (unsigned b = pixelBytes; b < bytesPerLine; ++b)
      line[b] = paddingByte;
    for (int x = 0; x < picture.width; ++x)
      if (picture.At(x, y))
        line[x / 8] |= uint8_t(0x80 >> (x % 8));
  }
  return bytes;
}

RasterPage OneBitPage(const Picture &picture, unsigned bytesPerLine, uint8_t paddingByte) {
  if (bytesPerLine == 0)
    bytesPerLine = unsigned(picture.width + 7) / 8;
  return RasterPage{MakeHeader(unsigned(picture.width), unsigned(picture.height), 1, bytesPerLine),
                    RasterLines(picture, bytesPerLine, paddingByte)};
}

} // namespace testsupport
