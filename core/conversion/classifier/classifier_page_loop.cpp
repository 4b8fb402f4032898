// The edge-aware pixel classifier: the pixel loop, the frame of one decision
// and the row tail that spreads it along the row.
#include "classifier_page_loop.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <vector>

#include "cell_words.h"
#include "log_text.h"
#include "vector_loops.h"

namespace {

constexpr uint8_t kBlack = 0;
constexpr uint8_t kWhite = 255;

// The printer traces the decision of one fixed pixel.
constexpr int kTraceX = 368;
constexpr int kTraceY = 306;

int Abs(int v) { return v < 0 ? -v : v; }

bool IsTracePixel(int x, int y) { return x == kTraceX && y == kTraceY; }

// Cell c of row r, for rows that stand for 3-byte rows of nWidth bytes.
ptrdiff_t Offset(int c, int r, int nWidth) {
  return static_cast<ptrdiff_t>(r) * RowCells(nWidth) + c;
}

// 'TraceEntry()' - The trace pixel's grays: P, above, below, left, right.
void TraceEntry(const LogLines &log, const OriginalRows &org, int x, int y) {
  LogText line;
  line << "***** x=" << x << " y=" << y << " pOrgPixel[y*nWidth+3*x] = " << int{*org.At(x, y)}
       << " pOrgPixel[(y-1)*nWidth+3*x]=" << int{*org.At(x, y - 1)}
       << " pOrgPixel[(y+1)*nWidth+3*x]=" << int{*org.At(x, y + 1)}
       << " pOrgPixel[y*nWidth+3*(x-1)]=" << int{*org.At(x - 1, y)}
       << " d pOrgPixel[y*nWidth+3*(x+1)]=" << int{*org.At(x + 1, y)} << "\n";
  log(LogLevel::Trace, line.str());
}

// 'TraceDecision()' - The branch taken and its colour, then the post-rule or
// right-scan step that came after it. The printer numbers every branch of
// rule U1 "1.0.0"; the other branches go by their rule names.
void TraceDecision(const LogLines &log, const Decision &d, int oA) {
  const bool bU1 = d.rule[0] == 'U' && d.rule[1] == '1' && d.rule[2] == '.';
  LogText line;
  line << "********** " << (bU1 ? "1.0.0" : d.rule) << " color=" << int{d.ruleColor}
       << " pPixel[(y-1)*nWidth+3*x]=" << oA << "\n";
  if (d.post)
    line << "********** " << d.post << " color=" << int{d.color} << "\n";
  log(LogLevel::Trace, line.str());
}

// 'MarkGrayPixels()' - Mark the pixels of a row that are to be decided: those
// neither 0 nor 255. Byte-wide tests, so that the compiler can mark 16 or 32
// pixels at once.
PAGE_LOOP void MarkGrayPixels(const uint8_t *__restrict row, int cx, uint8_t *__restrict marks) {
  for (int x = 0; x < cx; ++x)
    marks[x] = static_cast<uint8_t>(static_cast<uint8_t>(row[x] - 1) < 254);
}

// 'IsGray()' - Whether the pixel at p is still to be decided.
bool IsGray(const uint8_t *p) { return *p != 0 && *p != 255; }

// 'PackMarks()' - The marks of a row, one byte each (0 or 1), as bits: the
// mark of pixel x in bit x % 64 of word x / 64. 'marks' holds 64 bytes for
// every word, 0 past the row. Eight marks at a time: a multiply moves byte
// k's bit 0 to bit 56 + k (every partial product lands on a bit of its own,
// so nothing carries). Bits for speed: the next pixel to decide is then a
// count of zeros away (classifier_bench, label pages).
void PackMarks(const uint8_t *marks, int words, uint64_t *bits) {
  for (int w = 0; w < words; ++w) {
    uint64_t word = 0;
    for (int k = 0; k < 64; k += 8)
      word |= ((LoadCells(marks + 64 * w + k) * 0x0102040810204080) >> 56) << k;
    bits[w] = word;
  }
}

// 'NextMarked()' - The first marked pixel from x on, or cx.
int NextMarked(const uint64_t *bits, int x, int cx) {
  if (x >= cx)
    return cx;
  int w = x / 64;
  uint64_t word = bits[w] & (~uint64_t{0} << (x % 64));
  const int words = (cx + 63) / 64;
  while (word == 0) {
    if (++w == words)
      return cx;
    word = bits[w];
  }
  return 64 * w + std::countr_zero(word);
}

// 'Decide()' - The colour of gray pixel (x, y), whose original gray is at
// most 219, and the rule that decided it; writes nothing. 'trace' is the log
// when (x, y) is the trace pixel, else null.
inline Decision Decide(std::span<const uint8_t> pPixel, const OriginalRows &org, int x, int y,
                       int nWidth, int nHeight, ClassifierLookups &lookups, const LogLines *trace) {
  Neighbourhood n =
      ReadNeighbourhood(pPixel.data() + Offset(x, y, nWidth), org.At(x, y), x, y, nWidth, nHeight);
  if (y == 0)
    return DecideTopRow(n);

  const RowAboveRun run = lookups.FindRowAboveRun(x, y);
  n.N = run.nTotalColor;
  n.M = static_cast<int>(run.dwColor / static_cast<uint32_t>(run.nTotalColor));
  if (trace) {
    LogText line;
    line << "******* dwColor=" << n.M << " nTotalColor=" << n.N << "\n";
    (*trace)(LogLevel::Trace, line.str());
  }

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
//
// Returns the last column written.
inline int WriteRowTail(std::span<uint8_t> pPixel, const OriginalRows &orgRows, int x, int y,
                        int nWidth, uint8_t color) {
  // Cell c of row y at c, of row y - 1 at c - cells (flat addressing).
  const int cells = RowCells(nWidth);
  const uint8_t *org = orgRows.At(0, y);
  uint8_t *out = pPixel.data() + Offset(0, y, nWidth);
  const int last = nWidth / 3 - 1;
  const int P = org[x];

  // Border test: a pixel much lighter than its left neighbour, or a dark pixel
  // before a light one, is written alone.
  bool bBorder = false;
  if (x >= 1 && 3 * (x + 1) < nWidth && P - org[x - 1] >= 36)
    bBorder = true;
  if (P <= 99 && org[x + 1] >= 101)
    bBorder = true;

  int i = x;
  if (!bBorder && color == kBlack) {
    // u, t and s move right with i. Column 0's left neighbour is the last
    // whole cell of the row above; row 0 has none (100: no step).
    int u = x >= 1 ? org[x - 1] : y >= 1 ? org[LeftOfColumn0(nWidth)] : 100;
    int t = P;
    const int tMax = P >= 150 ? 179 : 149;
    while (i < last) {
      const int s = org[i + 1];
      if (Abs(s - P) >= 11 || s >= 235)
        break;
      // A step from dark to light at column i.
      if (t >= 100 && u < 100 && t - u >= 20)
        break;
      if (t > tMax)
        break;
      u = t;
      t = s;
      ++i;
    }
  } else if (!bBorder) {
    while (i < last) {
      const int s = org[i + 1];
      if (Abs(s - P) >= 11)
        break;
      if (y >= 1) {
        const int o = out[i + 1 - cells];
        const int a = org[i + 1 - cells];
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
    if (out[j] != kWhite)
      out[j] = color;
  return i;
}

} // namespace

LineDecision ProcessLine(std::span<uint8_t> pPixel, const OriginalRows &org, int x, int y,
                         int nWidth, int nHeight, ClassifierLookups &lookups, const LogLines &log) {
  const LogLines *trace = log && IsTracePixel(x, y) ? &log : nullptr;
  if (trace)
    TraceEntry(log, org, x, y);

  // A light pixel is white on its own; its neighbours wait for their turn.
  if (*org.At(x, y) >= 220) {
    pPixel[Offset(x, y, nWidth)] = kWhite;
    if (trace)
      log(LogLevel::Trace, "********** P>=220 color=255\n");
    return {{kWhite, kWhite, "P>=220"}, x};
  }

  const Decision d = Decide(pPixel, org, x, y, nWidth, nHeight, lookups, trace);
  if (trace)
    TraceDecision(log, d, pPixel[Offset(x, y - 1, nWidth)]);
  return {d, WriteRowTail(pPixel, org, x, y, nWidth, d.color)};
}

namespace {

// Rows of original grays a page's window holds at most: rows y - 1 .. y + 2
// of the row y being decided, and room to slide down the page before they
// are moved back to the front.
constexpr int kWindowRows = 64;

// Rows the classifier waits for at once, past those it needs, on a page
// still being drawn.
constexpr int kAwaitedRows = 32;

// The original grays of the rows around the row being decided, copied from
// the working image before the classifier writes them, white below the
// page's last row. A page then needs no copy of its own.
class OriginalWindow {
public:
  OriginalWindow(std::span<const uint8_t> pvBits, int cy, int cells)
      : pvBits_(pvBits), cy_(cy), cells_(static_cast<size_t>(cells)),
        rows_(std::min(kWindowRows, cy + 3)), held_(static_cast<size_t>(rows_) * cells_) {}

  // 'Slide()' - Hold rows y - 1 .. y + 2 for row y; rows from y down must
  // not have been written yet. Rows come in as the page goes down.
  OriginalRows Slide(int y) {
    const int end = y + 3;
    if (end - first_ > rows_) {
      const int from = std::max(y - 1, 0);
      const size_t kept = static_cast<size_t>(first_ + count_ - from) * cells_;
      std::memmove(held_.data(), held_.data() + static_cast<size_t>(from - first_) * cells_, kept);
      count_ -= from - first_;
      first_ = from;
    }
    for (; first_ + count_ < end; ++count_) {
      const int row = first_ + count_;
      uint8_t *to = held_.data() + static_cast<size_t>(count_) * cells_;
      if (row < cy_)
        std::memcpy(to, pvBits_.data() + static_cast<size_t>(row) * cells_, cells_);
      else
        std::memset(to, 255, cells_);
    }
    return {std::span<const uint8_t>(held_).first(static_cast<size_t>(count_) * cells_), first_,
            static_cast<int>(cells_)};
  }

private:
  std::span<const uint8_t> pvBits_;
  int cy_;
  size_t cells_;
  int rows_;
  std::vector<uint8_t> held_;
  int first_ = 0; // the page row of held_'s first row
  int count_ = 0; // rows held
};

// 'DecideRows()' - The pixel loop of ClassifyPage(): the original grays of
// each row come from 'window'. Rows still being drawn are waited for.
void DecideRows(std::span<uint8_t> pvBits, OriginalWindow &window, int cx, int cy, int nBytePerRow,
                const LogLines &log, const ArrivingRows *arriving) {
  OriginalRows org;
  ClassifierLookups lookups(pvBits, org, nBytePerRow);
  // A row is written only while it is being decided: a decision writes its
  // pixel and the run to its right. The pixels to decide are those that
  // were gray when the row began (its marks) and still are when their turn
  // comes; the next one is found 64 marks at a time. A decision of black or
  // white leaves its run decided; where one spread another colour (a gray
  // taken from a padding cell), the pixels it covered are looked at one by
  // one.
  const int words = (cx + 63) / 64;
  std::vector<uint8_t> marks(64 * static_cast<size_t>(words), 0);
  std::vector<uint64_t> markBits(static_cast<size_t>(words));
  int drawn = arriving ? 0 : cy;
  for (int y = 0; y < cy; ++y) {
    // Row y reads the rows down to y + 2. Rows being drawn are waited for
    // a band at a time, so that the drawing thread is not stopped for
    // every row to wake this one.
    const int needed = std::min(y + 3, cy);
    if (drawn < needed && (drawn = arriving->Await(std::min(needed + kAwaitedRows, cy))) < needed)
      return;
    org = window.Slide(y);
    lookups.SetOriginalRows(org);
    const uint8_t *row = pvBits.data() + Offset(0, y, nBytePerRow);
    MarkGrayPixels(row, cx, marks.data());
    PackMarks(marks.data(), words, markBits.data());
    for (int x = NextMarked(markBits.data(), 0, cx); x < cx;) {
      if (!IsGray(row + x)) {
        x = NextMarked(markBits.data(), x + 1, cx);
        continue;
      }
      const LineDecision d = ProcessLine(pvBits, org, x, y, nBytePerRow, cy, lookups, log);
      const uint8_t color = d.decision.color;
      // The pixel after the run, when gray now, is marked: a run writes only
      // over pixels that were gray when the row began.
      // For speed: in a photo most decisions follow one another (classifier_bench).
      const int next = color == kBlack || color == kWhite ? d.last + 1 : x + 1;
      x = next < cx && IsGray(row + next) ? next : NextMarked(markBits.data(), next, cx);
    }
  }
}

} // namespace

void ClassifyPage(std::span<uint8_t> pvBits, int cx, int cy, int nBytePerRow, const LogLines &log,
                  const ArrivingRows *arriving) {
  const int cells = RowCells(nBytePerRow);
  if (cx <= 0 || cy <= 0 || nBytePerRow < 3 * cx ||
      pvBits.size() / static_cast<size_t>(cells) < static_cast<size_t>(cy))
    return;
  OriginalWindow window(pvBits, cy, cells);
  DecideRows(pvBits, window, cx, cy, nBytePerRow, log, arriving);
}
