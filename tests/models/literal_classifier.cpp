// The edge-aware classifier, literally: see literal_classifier.h.
#include "models/literal_classifier.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>

namespace literal {
namespace {

// One pixel under decision: what the rules read, each at r * nWidth + 3 * c
// with no correction at the row ends (column -1 is the row above's last
// pixel, columns past the last one are the padding or the next row).
struct Pixel {
  std::span<uint8_t> out;
  std::span<const uint8_t> org;
  int x, y, nWidth, nHeight;

  int Org(int c, int r) const { return org[static_cast<ptrdiff_t>(r) * nWidth + 3 * c]; }
  int Out(int c, int r) const { return out[static_cast<ptrdiff_t>(r) * nWidth + 3 * c]; }
  int Last() const { return nWidth / 3 - 1; }
};

int Abs(int v) { return std::abs(v); }

int TopRow(const Pixel &p) {
  const int P = p.Org(p.x, 0);
  if (p.x == 0) // T1
    return P <= 199 ? 0 : 255;
  if (Abs(P - p.Org(p.x - 1, 0)) <= 19) // T2
    return p.Out(p.x - 1, 0);
  return P >= 100 ? 255 : 0; // T3
}

int UpperNeighbour(const Pixel &p, int M, int N) {
  const int x = p.x, y = p.y;
  const int P = p.Org(x, y), A = p.Org(x, y - 1), B = p.Org(x, y + 1);
  const int L = p.Org(x - 1, y), R = p.Org(x + 1, y);
  const int oA = p.Out(x, y - 1), oL = p.Out(x - 1, y);
  if (N >= 5 && Abs(P - M) <= 9) { // U1
    if (x >= 1 && L - P >= 36 && P <= 179)
      return 0;
    if (x == 0)
      return oA;
    return Abs(P - M) <= Abs(P - L) ? oA : oL;
  }
  if (P <= 49) // U2
    return 0;
  if (P < A && oA == 0) // U3
    return 0;
  if (x >= 1 && Abs(P - L) <= 9) // U4
    return oL;
  if (P <= 99) // U5
    return 0;
  if (A <= 99 && B <= 99) { // U6
    if (R - P >= 36 && P <= 149)
      return 0;
    return Abs(P - A) <= 29 ? oA : 255;
  }
  if (P <= 199) {
    if (B <= 99 && P - B >= 31) { // U7a
      if (A >= 220 && P <= 180)
        return 0;
      return P - A >= 20 ? 255 : oA;
    }
    if (P - A >= 31 && P - B >= 31) // U7b.1
      return 255;
    if (Abs(P - A) <= 19) // U7b.2
      return x >= 1 && P - L >= 36 && P >= 151 ? 255 : oA;
    if (x >= 1 && Abs(P - L) <= 10) // U7b.3
      return oL;
    if (x >= 1 && L <= 99 && A <= 99 && P >= 101) // U7b.4
      return 255;
    if (P - A >= 35) // U7b.5
      return 255;
    if (y < p.nHeight - 1 && B - P >= 36 && B >= 200) // U7b.6
      return 0;
    return P <= 150 ? oA : 255; // U7b.7, U7b.8
  }
  if (Abs(P - A) <= 20) // U8.1
    return oA;
  if (P - A >= 21) // U8.2
    return 255;
  if (x == 0) // U8.3
    return 0;
  if (y < p.nHeight - 1 && Abs(P - A) < Abs(B - P)) // U8.4
    return oA;
  if (x < p.Last() && R - P >= 31 && A - P >= 31) // U8.5
    return 0;
  return 255; // U8.6
}

int DarkerThanAbove(const Pixel &p, int M, int N) {
  const int x = p.x, y = p.y;
  const int P = p.Org(x, y), A = p.Org(x, y - 1);
  const int L = p.Org(x - 1, y), R = p.Org(x + 1, y);
  const int oA = p.Out(x, y - 1), oL = p.Out(x - 1, y);
  if (x < p.Last() && P <= 149 && R >= 220) // DA1
    return 0;
  if (P <= 49) // DA2
    return 0;
  if (A >= 220 && P <= 180) // DA3
    return Abs(P - L) <= 10 ? oL : 0;
  if (x >= 3 && p.Org(x - 2, y) <= 49 && L <= 79 && P >= 100) // DA4
    return 255;
  if (P <= 149 && A >= 201) // DA5
    return 0;
  if (x >= 1 && Abs(P - L) <= 10) // DA6
    return oL;
  if (N >= 6 && Abs(P - M) <= 10) // DA7
    return oA;
  if (P < L && oL == 0) // DA8
    return 0;
  if (A - P <= 10) // DA9
    return oA;
  if (A - P <= 29) { // DA10
    if (x >= 1 && L - P >= 51 && L >= 200)
      return 0;
    if (Abs(P - L) <= 19)
      return oL;
    if (P <= 99)
      return 0;
    if (P >= 151)
      return 255;
    return A - P <= 20 ? oA : 0;
  }
  if (P <= 199) { // DA11
    if (oA == 0 && M > P)
      return 0;
    if (x >= 1 && L - P >= 51)
      return 0;
    if (A >= 235)
      return 0;
    if (P <= 80)
      return 0;
    if (L - P >= 30)
      return P <= 179 ? 0 : 255;
    if (Abs(P - L) <= 10)
      return oL;
    if (A - P <= 35)
      return 255;
    return P <= 150 ? 0 : 255;
  }
  if (A >= 236 && A - P >= 36) // DA12
    return 0;
  if (x >= 1 && Abs(P - L) <= 19)
    return oL;
  return 255;
}

int Dark(const Pixel &p, int M, int N) {
  const int x = p.x, y = p.y;
  const int P = p.Org(x, y), A = p.Org(x, y - 1), B = p.Org(x, y + 1);
  const int L = p.Org(x - 1, y), R = p.Org(x + 1, y);
  const int oA = p.Out(x, y - 1), oL = p.Out(x - 1, y);
  if (N >= 5 && Abs(P - M) <= 9) // DK1
    return oA;
  if (x < p.Last() && R >= 220) // DK2
    return 0;
  if (x >= 1 && Abs(L - P) <= 10) // DK3
    return oL;
  if (x >= 2 && p.Org(x - 2, y) <= 29 && L <= 49 && P >= 91) // DK4
    return 255;
  if (P <= 49) // DK5
    return 0;
  if (x >= 1 && oL == 0 && P < L) // DK6
    return 0;
  if (x >= 1 && L - P >= 36 && oL == 255) // DK7
    return 0;
  if (x >= 1 && P - L >= 36 && P >= 80) // DK8
    return 255;
  if (P - A >= 36 && P >= 80) // DK9
    return 255;
  if (P - A >= 36 && P - B >= 36 && R - p.Org(x + 1, y - 1) >= 36 &&
      p.Org(x + 2, y) - p.Org(x + 2, y - 1) >= 36) // DK10
    return 255;
  return 0; // DK11
}

int Light(const Pixel &p, int M, int N, WalkStats *stats) {
  const int x = p.x, y = p.y;
  const int P = p.Org(x, y), A = p.Org(x, y - 1), B = p.Org(x, y + 1);
  const int L = p.Org(x - 1, y), R = p.Org(x + 1, y);
  const int oA = p.Out(x, y - 1), oL = p.Out(x - 1, y);
  if (N >= 5 && Abs(P - M) <= 5) // LT1
    return x >= 1 && Abs(P - M) > Abs(P - L) ? oL : oA;
  if (x < p.Last() && P <= 179 && R >= 220) // LT2
    return 0;
  if (x >= 1 && Abs(L - P) <= 10) // LT3
    return oL;
  if (x >= 3 && p.Org(x - 2, y) <= 49 && L <= 79) // LT4
    return 255;
  if (x >= 1 && P > L && oL == 255) // LT5
    return 255;
  if (x >= 2 && p.Org(x - 2, y) <= 49 && L <= 69) // LT6
    return 255;
  if (P - L >= 51) // LT7
    return 255;
  if (P - A <= 20) // LT8
    return oA;
  if (x >= 1 && x < p.Last() && P - L >= 36 && P - R >= 36) // LT9
    return 255;
  if (x == 0) // LT10
    return 255;
  if (L >= 220) { // LT11
    if (L - P <= 19)
      return oL;
    if (oA == 255)
      return 255;
    return L - P <= 30 ? 255 : 0;
  }
  int color; // LT12
  if (L - P >= 31 && R - P >= 31)
    color = 0;
  else if (P - A >= 31 && P - B >= 31 && (Abs(P - L) <= 34 || Abs(P - R) <= 34))
    color = 255;
  else if (P - L >= 31 && oL == 0 && P >= 150)
    color = 255;
  else if (oL == 255 && L - P >= 36)
    color = P - A >= 31 && P - B >= 31 && P >= 101 ? 255 : 0;
  else if (P - L <= 20)
    color = oL;
  else
    color = 255;
  // The right scan.
  if (stats)
    stats->rightScans++;
  const Stop stop = RightScan(p.org, x, y, p.nWidth, P, stats);
  if (stop.bStopped) {
    if (P >= 201)
      color = 255;
    else if (stop.s < stop.t && color == 0)
      color = 255;
  }
  return color;
}

int LowerNeighbour(const Pixel &p, int M, int N, WalkStats *stats) {
  const int x = p.x, y = p.y;
  const int P = p.Org(x, y), A = p.Org(x, y - 1);
  if (P < A) {
    int color = DarkerThanAbove(p, M, N);
    if (x >= 1) {
      const int B = p.Org(x, y + 1), L = p.Org(x - 1, y), R = p.Org(x + 1, y);
      if (3 * x < p.nWidth - 1 && L - P >= 36 && R - P >= 36 && P <= 99) // DAP1
        color = 0;
      if (L >= 200 && P <= 199 && (P <= 99 || (p.Out(x, y - 1) != 0 && P >= 101 && B <= 99)))
        color = 0; // DAP2
    }
    return color;
  }
  if (P <= 99)
    return Dark(p, M, N);
  return Light(p, M, N, stats);
}

// The run of like pixels right of the decided pixel takes its colour.
void RowTail(const Pixel &p, int color) {
  const int x = p.x, y = p.y;
  const int P = p.Org(x, y);
  const bool bBorder = (x >= 1 && 3 * (x + 1) < p.nWidth && P - p.Org(x - 1, y) >= 36) ||
                       (P <= 99 && p.Org(x + 1, y) >= 101);
  int i = x;
  while (!bBorder && i < p.Last()) {
    const int s = p.Org(i + 1, y), t = p.Org(i, y);
    if (color == 0) {
      if (Abs(s - P) >= 11 || s >= 235)
        break;
      if (!(i == 0 && y == 0) && t >= 100 && p.Org(i - 1, y) < 100 && t - p.Org(i - 1, y) >= 20)
        break;
      if (!((P >= 150 || t <= 149) && t <= 179))
        break;
    } else {
      if (Abs(s - P) >= 11)
        break;
      if (y >= 1 && p.Out(i + 1, y - 1) != color && Abs(p.Org(i + 1, y - 1) - s) <= 9)
        break;
      if (y >= 1 && p.Out(i + 1, y - 1) == color && Abs(p.Org(i + 1, y - 1) - s) >= 36)
        break;
      if (s < 150)
        break;
    }
    ++i;
  }
  for (int j = x; j <= i; ++j)
    if (p.Out(j, y) != 255)
      for (int b = 0; b < 3; ++b)
        p.out[static_cast<size_t>(y) * p.nWidth + 3 * j + b] = static_cast<uint8_t>(color);
}

void ProcessLine(const Pixel &p, WalkStats *stats) {
  const int P = p.Org(p.x, p.y);
  if (P >= 220) {
    for (int b = 0; b < 3; ++b)
      p.out[static_cast<size_t>(p.y) * p.nWidth + 3 * p.x + b] = 255;
    return;
  }
  int color;
  if (p.y == 0) {
    color = TopRow(p);
  } else {
    const Run run = RowAboveRun(p.out, p.org, p.x, p.y, p.nWidth);
    if (stats)
      stats->longestRun = std::max(stats->longestRun, run.length);
    const int M = static_cast<int>(run.sum / static_cast<uint32_t>(run.length));
    const int A = p.Org(p.x, p.y - 1), B = p.Org(p.x, p.y + 1);
    color = Abs(P - A) <= Abs(P - B) ? UpperNeighbour(p, M, run.length)
                                     : LowerNeighbour(p, M, run.length, stats);
  }
  RowTail(p, color);
}

} // namespace

Run RowAboveRun(std::span<const uint8_t> pPixel, std::span<const uint8_t> pOrgPixel, int x, int y,
                int nWidth) {
  auto at = [&](int c, int r) { return static_cast<size_t>(r) * nWidth + 3 * c; };
  const int PreColor = pPixel[at(x, y - 1)];
  const int A = pOrgPixel[at(x, y - 1)];
  Run run;
  for (int c = x; 3 * c < nWidth; ++c) {
    if (pPixel[at(c, y - 1)] != PreColor || Abs(pOrgPixel[at(c, y - 1)] - A) >= 11)
      break;
    run.sum += pOrgPixel[at(c, y - 1)];
    run.length++;
  }
  return run;
}

Stop RightScan(std::span<const uint8_t> pOrgPixel, int x, int y, int nWidth, int P,
               WalkStats *stats) {
  auto at = [&](int c, int r) { return static_cast<size_t>(r) * nWidth + 3 * c; };
  for (int k = x; 3 * k < nWidth; ++k) {
    const int s = pOrgPixel[at(k + 1, y)];
    if (Abs(s - P) <= 30 && s <= 234)
      continue;
    if (stats)
      stats->longestScan = std::max(stats->longestScan, k - x);
    return {true, s, pOrgPixel[at(k, y)]};
  }
  return {};
}

void ClassifyPixels(std::span<uint8_t> pvBits, std::span<const uint8_t> pOrgPixel, int cx, int cy,
                    int nBytePerRow, WalkStats *stats) {
  for (int y = 0; y < cy; ++y)
    for (int x = 0; x < cx; ++x) {
      const uint8_t *q = pvBits.data() + static_cast<size_t>(y) * nBytePerRow + 3 * x;
      const int v = (q[0] + q[1] + q[2]) / 3;
      if (v != 0 && v != 255)
        ProcessLine({pvBits, pOrgPixel, x, y, nBytePerRow, cy}, stats);
    }
}

} // namespace literal
