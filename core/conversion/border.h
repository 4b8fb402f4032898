// The border classifier: whether a mid-gray pixel lies on the border between
// a light and a dark area of the working image, and on which side the light
// lies. The edge pre-pass of both dithers snaps such pixels to black or white.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// A pixel can be a border pixel only with a mid-gray level, 50..229.
inline constexpr int kBorderLowest = 50;
inline constexpr int kBorderHighest = 229;
// A neighbour of 99 or less is dark.
inline constexpr int kDarkAtMost = 99;
// A neighbour above 224 is light; the light left, and the light of a second
// side, must be above 229.
inline constexpr int kLightAbove = 224;
inline constexpr int kLighterAbove = 229;

// 'IsBorder()' - The border class of pixel (x, y) of a working image of
// nWidth x nHeight cells, rows 'stride' cells apart:
//
//                  (x, y-1)
//      (x-1, y)  [ (x, y) ]  (x+1, y)
//                  (x, y+1)
//
//   -1  not a border pixel (49 or less, 230 or more, or no case holds)
//    0  light left (above 229), dark right (99 or less)   1  ... and light above
//    2  light above (above 224), dark below               3  ... and light right
//    4  light right (above 224), dark left                5  ... and light below
//    6  light below (above 224), dark above
// The first case that holds decides. A second light side must be above 229.
// Only neighbours inside the page are read: the padding and the row above
// are never taken for a pixel's right or left.
inline int IsBorder(std::span<const uint8_t> pColorBuf, int x, int y, int nWidth, int nHeight,
                    size_t stride) {
  const uint8_t *p = pColorBuf.data() + static_cast<size_t>(y) * stride + static_cast<size_t>(x);
  const int own = p[0];
  if (own < kBorderLowest || own > kBorderHighest)
    return -1;
  // A neighbour off the page reads as a mid gray, neither light nor dark,
  // so that no case holds with it.
  constexpr int kOffThePage = 128;
  const int left = x > 0 ? p[-1] : kOffThePage;
  const int right = x < nWidth - 1 ? p[1] : kOffThePage;
  const int above = y > 0 ? p[-static_cast<ptrdiff_t>(stride)] : kOffThePage;
  const int below = y < nHeight - 1 ? p[stride] : kOffThePage;

  if (left > kLighterAbove && right <= kDarkAtMost)
    return above > kLighterAbove ? 1 : 0;
  if (above > kLightAbove && below <= kDarkAtMost)
    return right > kLighterAbove ? 3 : 2;
  if (right > kLightAbove && left <= kDarkAtMost)
    return below > kLighterAbove ? 5 : 4;
  if (below > kLightAbove && above <= kDarkAtMost)
    return 6;
  return -1;
}
