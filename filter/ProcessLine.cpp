// The edge-aware pixel classifier: the pixel loop, the frame of one decision
// and the row tail that spreads it along the row.
#include "ProcessLine.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint8_t kBlack = 0;
constexpr uint8_t kWhite = 255;

// The printer traces the decision of one fixed pixel.
constexpr int kTraceX = 368;
constexpr int kTraceY = 306;

int Abs(int v) { return v < 0 ? -v : v; }

bool IsTracePixel(int x, int y) { return x == kTraceX && y == kTraceY; }

ptrdiff_t Offset(int c, int r, int nWidth) {
  return static_cast<ptrdiff_t>(r) * nWidth + 3 * static_cast<ptrdiff_t>(c);
}

void WriteColour(std::span<uint8_t> pPixel, int c, int r, int nWidth, uint8_t color) {
  uint8_t *p = pPixel.data() + Offset(c, r, nWidth);
  p[0] = p[1] = p[2] = color;
}

// 'TraceEntry()' - The trace pixel's grays: P, above, below, left, right.
void TraceEntry(std::span<const uint8_t> org, int x, int y, int nWidth) {
  fprintf(stderr,
          "ERROR:***** x=%d y=%d pOrgPixel[y*nWidth+3*x] = %d pOrgPixel[(y-1)*nWidth+3*x]=%d "
          "pOrgPixel[(y+1)*nWidth+3*x]=%d pOrgPixel[y*nWidth+3*(x-1)]=%d d "
          "pOrgPixel[y*nWidth+3*(x+1)]=%d\n",
          x, y, org[Offset(x, y, nWidth)], org[Offset(x, y - 1, nWidth)],
          org[Offset(x, y + 1, nWidth)], org[Offset(x - 1, y, nWidth)],
          org[Offset(x + 1, y, nWidth)]);
}

// 'TraceDecision()' - The branch taken and its colour, then the post-rule or
// right-scan step that came after it. The printer numbers every branch of
// rule U1 "1.0.0"; the other branches go by their rule names.
void TraceDecision(const Decision &d, int oA) {
  const bool bU1 = d.rule[0] == 'U' && d.rule[1] == '1' && d.rule[2] == '.';
  fprintf(stderr, "ERROR:********** %s color=%d pPixel[(y-1)*nWidth+3*x]=%d\n",
          bU1 ? "1.0.0" : d.rule, d.ruleColor, oA);
  if (d.post)
    fprintf(stderr, "ERROR:********** %s color=%d\n", d.post, d.color);
}

// 'AllBlackOrWhite()' - Whether the 8 pixels at p hold 0, 0, 0 each or 255,
// 255, 255 each: stretches of paper and print that the classifier skips.
bool AllBlackOrWhite(const uint8_t *p) {
  uint64_t w0, w1, w2;
  memcpy(&w0, p, 8);
  memcpy(&w1, p + 8, 8);
  memcpy(&w2, p + 16, 8);
  return (w0 & w1 & w2) == ~uint64_t{0} || (w0 | w1 | w2) == 0;
}

} // namespace

Decision DecidePixel(std::span<const uint8_t> pPixel, std::span<const uint8_t> pOrgPixel, int x,
                     int y, int nWidth, int nHeight, ClassifierLookups &lookups) {
  Neighbourhood n = ReadNeighbourhood(pPixel, pOrgPixel, x, y, nWidth, nHeight);
  if (y == 0)
    return DecideTopRow(n);

  const RowAboveRun run = lookups.FindRowAboveRun(x, y);
  n.N = run.nTotalColor;
  n.M = static_cast<int>(run.dwColor / static_cast<uint32_t>(run.nTotalColor));
  if (IsTracePixel(x, y))
    fprintf(stderr, "ERROR:******* dwColor=%d nTotalColor=%d\n", n.M, n.N);

  // Ties go to the pixel above.
  if (Abs(n.P - n.A) <= Abs(n.P - n.B))
    return DecideUpperNeighbour(n);
  Decision d = DecideLowerNeighbour(n);
  if (d.bRightScan)
    d = ApplyRightScan(d, n, lookups.FindRightScanStop(x, y, n.P));
  return d;
}

// The row tail reads, for the pixel P at column x and the run's column i:
//
//              i-1    i     i+1
//   y-1                     a      (white run: o = decided colour of a)
//   y    L  P  u      t     s
//
// A black run walks while the next pixel s stays near P and dark enough and
// the current pixel t is no step up from u; a white run walks while s stays
// near P and light, and agrees with the pixel above it.
void RowTail(std::span<uint8_t> pPixel, std::span<const uint8_t> pOrgPixel, int x, int y,
             int nWidth, uint8_t color) {
  auto org = [&](int c, int r) -> int { return pOrgPixel[Offset(c, r, nWidth)]; };
  auto out = [&](int c, int r) -> int { return pPixel[Offset(c, r, nWidth)]; };
  const int last = nWidth / 3 - 1;
  const int P = org(x, y);

  // Border test: a pixel much lighter than its left neighbour, or a dark pixel
  // before a light one, is written alone.
  bool bBorder = false;
  if (x >= 1 && 3 * (x + 1) < nWidth && P - org(x - 1, y) >= 36)
    bBorder = true;
  if (P <= 99 && org(x + 1, y) >= 101)
    bBorder = true;

  int i = x;
  if (!bBorder && color == kBlack) {
    while (i < last) {
      const int s = org(i + 1, y);
      const int t = org(i, y);
      if (Abs(s - P) >= 11 || s >= 235)
        break;
      // A step from dark to light at column i; row 0 has nothing left of column 0.
      if (t >= 100 && !(i == 0 && y == 0)) {
        const int u = org(i - 1, y);
        if (u < 100 && t - u >= 20)
          break;
      }
      if (!((P >= 150 || t <= 149) && t <= 179))
        break;
      ++i;
    }
  } else if (!bBorder) {
    while (i < last) {
      const int s = org(i + 1, y);
      if (Abs(s - P) >= 11)
        break;
      if (y >= 1) {
        const int o = out(i + 1, y - 1);
        const int a = org(i + 1, y - 1);
        if (o != color && Abs(a - s) <= 9)
          break;
        if (o == color && Abs(a - s) >= 36)
          break;
      }
      if (s < 150)
        break;
      ++i;
    }
  }

  // Write-back: never over a pixel that is already white.
  for (int j = x; j <= i; ++j)
    if (out(j, y) != kWhite)
      WriteColour(pPixel, j, y, nWidth, color);
}

int ProcessLine(std::span<uint8_t> pPixel, std::span<const uint8_t> pOrgPixel, int x, int y,
                int nWidth, int nHeight, ClassifierLookups &lookups) {
  const bool bTrace = IsTracePixel(x, y);
  if (bTrace)
    TraceEntry(pOrgPixel, x, y, nWidth);

  // A light pixel is white on its own; its neighbours wait for their turn.
  if (pOrgPixel[Offset(x, y, nWidth)] >= 220) {
    WriteColour(pPixel, x, y, nWidth, kWhite);
    if (bTrace)
      fprintf(stderr, "ERROR:********** P>=220 color=%d\n", kWhite);
    return 1;
  }

  const Decision d = DecidePixel(pPixel, pOrgPixel, x, y, nWidth, nHeight, lookups);
  if (bTrace)
    TraceDecision(d, pPixel[Offset(x, y - 1, nWidth)]);
  RowTail(pPixel, pOrgPixel, x, y, nWidth, d.color);
  return 1;
}

void ClassifyPixels(std::span<uint8_t> pvBits, std::span<const uint8_t> pOrgPixel, int cx, int cy,
                    int nBytePerRow) {
  const size_t size = static_cast<size_t>(nBytePerRow) * (cy > 0 ? cy : 0);
  if (cx <= 0 || cy <= 0 || nBytePerRow < 3 * cx || pvBits.size() < size ||
      pOrgPixel.size() < 2 * size)
    return;

  ClassifierLookups lookups(pvBits, pOrgPixel, nBytePerRow);
  for (int y = 0; y < cy; ++y)
    for (int x = 0; x < cx; ++x) {
      const uint8_t *p = pvBits.data() + Offset(x, y, nBytePerRow);
      // Nothing in a stretch of decided pixels can change before its turn.
      while (x + 8 <= cx && AllBlackOrWhite(p)) {
        x += 8;
        p += 24;
      }
      if (x == cx)
        break;
      const int v = (p[0] + p[1] + p[2]) / 3;
      if (v == 0 || v == 255)
        continue;
      ProcessLine(pvBits, pOrgPixel, x, y, nBytePerRow, cy, lookups);
    }
}
