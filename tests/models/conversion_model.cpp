#include "models/conversion_model.h"

#include "models/literal_classifier.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace e2e {

namespace {

int Brightness(int nLight) { return (100 - nLight) * 255 / 100; }

} // namespace

// The Otsu pass: every whole 3-byte group of every row, padding included,
// becomes its gray level; the level splitting them best is returned, the
// first of equal variances winning, in 32-bit floats.
int Otsu(Image &image, int nLight) {
  const int nBrightness = Brightness(nLight);
  int pixelCount[256] = {};
  int counted = 0;
  for (int r = 0; r < image.cy; ++r)
    for (int offset = 0; offset + 3 <= image.stride; offset += 3) {
      uint8_t *group = &image.Byte(long(r) * image.stride + offset);
      const int gray = (group[0] + group[1] + group[2]) / 3;
      const int pixel = std::clamp(gray + nBrightness, 0, 255);
      group[0] = group[1] = group[2] = uint8_t(pixel);
      ++pixelCount[pixel];
      ++counted;
    }
  if (counted == 0)
    return 0;
  float pixelPro[256];
  for (int k = 0; k < 256; ++k)
    pixelPro[k] = float(pixelCount[k]) / float(counted);
  float deltaMax = 0;
  int threshold = 0;
  for (int t = 0; t < 256; ++t) {
    float w0 = 0, w1 = 0, u0tmp = 0, u1tmp = 0;
    for (int k = 0; k < 256; ++k) {
      if (k <= t) {
        w0 += pixelPro[k];
        u0tmp += float(k) * pixelPro[k];
      } else {
        w1 += pixelPro[k];
        u1tmp += float(k) * pixelPro[k];
      }
    }
    const float u0 = u0tmp / w0;
    const float u1 = u1tmp / w1;
    const float u = u0tmp + u1tmp;
    const float deltaTmp = (u0 - u) * w0 * (u0 - u) + (u1 - u) * w1 * (u1 - u);
    if (deltaTmp > deltaMax) {
      deltaMax = deltaTmp;
      threshold = t;
    }
  }
  return threshold;
}

namespace {

// The border class of a pixel, read on rows of ((24 * width + 31) / 32) * 4
// bytes: which light neighbour faces a dark one across it, or -1.
int IsBorder(Image &image, int x, int y) {
  const int w = image.cx;
  const int h = image.cy;
  const int stride = (24 * w + 31) / 32 * 4;
  auto mean = [&](int c, int r) {
    const long at = long(r) * stride + 3 * c;
    return (image.Byte(at) + image.Byte(at + 1) + image.Byte(at + 2)) / 3;
  };
  const int own = mean(x, y);
  if (own <= 49 || own >= 230)
    return -1;
  if (x > 0 && mean(x - 1, y) > 229 && x < w - 1 && mean(x + 1, y) <= 99)
    return y > 0 && mean(x, y - 1) > 229 ? 1 : 0;
  if (y > 0 && mean(x, y - 1) > 224 && y < h - 1 && mean(x, y + 1) <= 99)
    return x < w - 1 && mean(x + 1, y) > 229 ? 3 : 2;
  if (x < w - 1 && mean(x + 1, y) > 224 && x > 0 && mean(x - 1, y) <= 99)
    return y < h - 1 && mean(x, y + 1) > 229 ? 5 : 4;
  if (y < h - 1 && mean(x, y + 1) > 224 && y > 0 && mean(x, y - 1) <= 99)
    return 6;
  return -1;
}

} // namespace

// The edge pre-pass and the luminance pass that both dithers run first.
void PrePassAndLuminance(Image &image, int nBrightness) {
  Image copy = image;
  for (int y = 0; y < image.cy; ++y)
    for (int x = 0; x < image.cx; ++x) {
      const int nClass = IsBorder(image, x, y);
      int level;
      if ((nClass == 0 || nClass == 4) && y > 0)
        level = image.Mean(x, y - 1) + nBrightness;
      else if ((nClass == 2 || nClass == 6) && x > 0)
        level = image.Mean(x - 1, y) + nBrightness;
      else
        continue;
      copy.Set(x, y, level > 150 ? 255 : 0);
    }
  image = copy;

  for (int y = 0; y < image.cy; ++y)
    for (int x = 0; x < image.cx; ++x) {
      const int b0 = image.At(x, y, 0), b1 = image.At(x, y, 1), b2 = image.At(x, y, 2);
      if (b0 == b1 && b1 == b2)
        continue;
      const double Y = 0.299 * b2 + 0.587 * b1 + 0.114 * b0;
      image.Set(x, y, std::clamp(int(Y) + nBrightness, 0, 255));
    }
}

void OrderedDither(Image &image, int nLight) {
  static constexpr int kMatrix[3][3] = {{28, 255, 57}, {142, 113, 227}, {170, 198, 85}};
  PrePassAndLuminance(image, Brightness(nLight));
  for (int by = 0; by < image.cy - 3; by += 3)
    for (int bx = 0; bx < image.cx - 3; bx += 3)
      for (int dy = 0; dy < 3; ++dy)
        for (int dx = 0; dx < 3; ++dx) {
          const int g = image.At(bx + dx, by + dy);
          int level;
          if (g > 224)
            level = 255;
          else if (g < 50)
            level = 0;
          else
            level = g > kMatrix[dy][dx] ? 255 : 0;
          image.Set(bx + dx, by + dy, level);
        }
}

void ErrorDiffusion(Image &image, int nLight) {
  PrePassAndLuminance(image, Brightness(nLight));
  const uint32_t palette[2] = {0x000000, 0xFFFFFF};
  auto nearest = [&](uint32_t color) {
    int minDistanceSquared = 195076, bestIndex = 0;
    for (int i = 0; i < 2; ++i) {
      int distanceSquared = 0;
      for (int shift : {0, 8, 16}) {
        const int diff = int((color >> shift) & 0xFF) - int((palette[i] >> shift) & 0xFF);
        distanceSquared += diff * diff;
      }
      if (distanceSquared < minDistanceSquared) {
        minDistanceSquared = distanceSquared;
        bestIndex = i;
      }
    }
    return palette[bestIndex];
  };
  struct Share {
    int dx, dy, low, high, weight;
  };
  const Share shares[4] = {
      {1, 0, 51, 229, 7}, {-1, 1, 51, 229, 3}, {0, 1, 51, 224, 5}, {1, 1, 51, 224, 1}};
  for (int y = 0; y < image.cy; ++y)
    for (int x = 0; x < image.cx; ++x) {
      const uint32_t currentPixel =
          uint32_t(image.At(x, y, 0)) << 16 | uint32_t(image.At(x, y, 1)) << 8 | image.At(x, y, 2);
      const uint32_t bestColor = nearest(currentPixel);
      image.At(x, y, 0) = uint8_t(bestColor >> 16);
      image.At(x, y, 1) = uint8_t(bestColor >> 8);
      image.At(x, y, 2) = uint8_t(bestColor);
      // Byte 0 carries the blue error, byte 1 the green, byte 2 the red.
      const int error[3] = {int(currentPixel >> 16 & 0xFF) - int(bestColor >> 16 & 0xFF),
                            int(currentPixel >> 8 & 0xFF) - int(bestColor >> 8 & 0xFF),
                            int(currentPixel & 0xFF) - int(bestColor & 0xFF)};
      for (const Share &share : shares) {
        const int nx = x + share.dx, ny = y + share.dy;
        const bool guard = ny < image.cy && nx < image.cx && (share.dx >= 0 || x > 1);
        if (!guard)
          continue;
        const int mean = image.Mean(nx, ny);
        if (mean < share.low || mean > share.high)
          continue;
        for (int b = 0; b < 3; ++b)
          image.At(nx, ny, b) =
              uint8_t(std::clamp(image.At(nx, ny, b) + ((error[b] * share.weight) >> 4), 0, 255));
      }
    }
}

void Classify(Image &image, int nLight) {
  Otsu(image, nLight);
  // The original copy: the page, then white, as far again.
  const size_t size = size_t(image.stride) * size_t(image.cy);
  std::vector<uint8_t> original(2 * size, 255);
  std::copy(image.bytes.begin(), image.bytes.begin() + long(size), original.begin());
  literal::ClassifyPixels(image.bytes, original, image.cx, image.cy, image.stride);
}

namespace {

void PutLE(std::vector<uint8_t> &out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    out.push_back(uint8_t(value >> (8 * i)));
}

} // namespace

int DitheringMode(const std::string *choice) {
  if (choice == nullptr)
    return 0;
  if (strcasecmp(choice->c_str(), "Threshold") == 0)
    return 1;
  if (strcasecmp(choice->c_str(), "OrderDithering") == 0)
    return 2;
  if (strcasecmp(choice->c_str(), "ErrorDiffusion") == 0)
    return 3;
  return 0;
}

ConvertedPage ConvertPage(const cups_page_header2_t &h, std::span<const uint8_t> lines,
                          unsigned linesRead, const std::string *dithering) {
  ConvertedPage page;
  page.width = int(h.cupsWidth);
  page.rows = int(linesRead);
  page.stride = (page.width + 31) / 32 * 4;
  const size_t rawBytes = size_t(h.cupsBytesPerLine) * linesRead;

  Image image{page.width, page.rows, 0, {}};
  if (h.cupsBitsPerPixel == 24) {
    // The colour lines are the working image as they stand.
    image.stride = int(h.cupsBytesPerLine);
    image.bytes.assign(lines.begin(), lines.begin() + long(rawBytes));
  } else {
    // Gray lines (255 black) become three equal bytes per pixel (0 black) in
    // rows rounded up to 4 bytes; padding and 256 spare bytes stay white.
    image.stride = (page.width * 24 + 31) / 32 * 4;
    char text[64];
    std::snprintf(text, sizeof text, "ERROR: BytePerLine =%d ", image.stride);
    page.lines.push_back(text);
    image.bytes.assign(size_t(image.stride) * linesRead + 256, 0xFF);
    for (int j = 0; j < page.rows; ++j)
      for (int i = 0; i < page.width; ++i)
        image.Set(i, j, uint8_t(~lines[size_t(j) * h.cupsBytesPerLine + size_t(i)]));
    page.mode = DitheringMode(dithering);
  }

  switch (page.mode) {
  case 0:
    Classify(image, 100);
    break;
  case 1: {
    const int level = Otsu(image, 100);
    char text[80];
    std::snprintf(text, sizeof text, "ERROR: Color2BW nThresholds=%d nLight=%d", level, 100);
    page.lines.push_back(text);
    const int t = level + 100;
    for (int y = 0; y < page.rows; ++y)
      for (int x = 0; x < page.width; ++x)
        image.Set(x, y, image.At(x, y) >= t ? 255 : 0);
    break;
  }
  case 2:
    OrderedDither(image, 100);
    break;
  case 3:
    ErrorDiffusion(image, 100);
    break;
  }
  page.lines.push_back(kBmpOpenedLine);

  page.packed.assign(size_t(page.stride) * size_t(page.rows), 0xFF);
  for (int y = 0; y < page.rows; ++y)
    for (int x = 0; x < page.width; ++x)
      if (image.At(x, y, 0) == 0 && image.At(x, y, 1) == 0 && image.At(x, y, 2) == 0)
        page.packed[size_t(y) * page.stride + size_t(x / 8)] &= uint8_t(~(0x80 >> (x % 8)));

  const uint32_t D = uint32_t(page.packed.size());
  std::vector<uint8_t> &bmp = page.bmp;
  bmp = {'B', 'M'};
  PutLE(bmp, 62 + D, 4);
  PutLE(bmp, 0, 4);
  PutLE(bmp, 62, 4);
  PutLE(bmp, 40, 4);
  PutLE(bmp, uint32_t(page.width), 4);
  PutLE(bmp, uint32_t(-page.rows), 4);
  PutLE(bmp, 1, 2);
  PutLE(bmp, 1, 2);
  PutLE(bmp, 0, 4);
  PutLE(bmp, D, 4);
  PutLE(bmp, 203, 4);
  PutLE(bmp, 203, 4);
  PutLE(bmp, 0, 4);
  PutLE(bmp, 0, 4);
  PutLE(bmp, 0x00000000, 4);
  PutLE(bmp, 0x00FFFFFF, 4);
  bmp.insert(bmp.end(), page.packed.begin(), page.packed.end());
  return page;
}

} // namespace e2e
