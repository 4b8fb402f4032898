// The printer's rules for one gray pixel of the edge-aware classifier.
#include "classifier_rules.h"

#include <cstddef>

namespace {

constexpr uint8_t kBlack = 0;
constexpr uint8_t kWhite = 255;

int Abs(int v) { return v < 0 ? -v : v; }

Decision Decided(int color, const char *rule) {
  Decision d;
  d.color = d.ruleColor = static_cast<uint8_t>(color);
  d.rule = rule;
  return d;
}
Decision Black(const char *rule) { return Decided(kBlack, rule); }
Decision White(const char *rule) { return Decided(kWhite, rule); }

// Sub-list U7: 100 <= P <= 199, and A >= 100 or B >= 100.
Decision DecideU7(const Neighbourhood &n) {
  const int P = n.P, A = n.A, B = n.B, L = n.L;
  // U7a: a dark pixel right below.
  if (B <= 99 && P - B >= 31) {
    if (A >= 220 && P <= 180)
      return Black("U7a.1");
    if (P - A >= 20)
      return White("U7a.2");
    return Decided(n.oA, "U7a.3");
  }
  // U7b.
  if (P - A >= 31 && P - B >= 31)
    return White("U7b.1");
  if (Abs(P - A) <= 19) {
    if (n.x >= 1 && P - L >= 36 && P >= 151)
      return White("U7b.2");
    return Decided(n.oA, "U7b.2");
  }
  if (n.x >= 1 && Abs(P - L) <= 10)
    return Decided(n.oL, "U7b.3");
  if (n.x >= 1 && L <= 99 && A <= 99 && P >= 101)
    return White("U7b.4");
  if (P - A >= 35)
    return White("U7b.5");
  if (n.y < n.nHeight - 1 && B - P >= 36 && B >= 200)
    return Black("U7b.6");
  if (P <= 150)
    return Decided(n.oA, "U7b.7");
  return White("U7b.8");
}

// Sub-list U8: 200 <= P <= 219.
Decision DecideU8(const Neighbourhood &n) {
  const int P = n.P, A = n.A, B = n.B, R = n.R;
  if (Abs(P - A) <= 20)
    return Decided(n.oA, "U8.1");
  if (P - A >= 21)
    return White("U8.2");
  if (n.x == 0)
    return Black("U8.3");
  // From here on the pixel is at least 21 darker than the pixel above.
  if (n.y < n.nHeight - 1 && Abs(P - A) < Abs(B - P))
    return Decided(n.oA, "U8.4");
  if (n.x < n.last && R - P >= 31 && A - P >= 31)
    return Black("U8.5");
  return White("U8.6");
}

// Sub-list DA10, near edge: 11 <= A - P <= 29.
Decision DecideDA10(const Neighbourhood &n) {
  const int P = n.P, A = n.A, L = n.L;
  if (n.x >= 1 && L - P >= 51 && L >= 200)
    return Black("DA10.1");
  if (Abs(P - L) <= 19)
    return Decided(n.oL, "DA10.2");
  if (P <= 99)
    return Black("DA10.3");
  if (P >= 151)
    return White("DA10.4");
  return A - P <= 20 ? Decided(n.oA, "DA10.5") : Black("DA10.5");
}

// Sub-list DA11, far edge, dark pixel: A - P >= 30, P <= 199.
Decision DecideDA11(const Neighbourhood &n) {
  const int P = n.P, A = n.A, L = n.L;
  if (n.oA == kBlack && n.M > P)
    return Black("DA11.1");
  if (n.x >= 1 && L - P >= 51)
    return Black("DA11.2");
  if (A >= 235)
    return Black("DA11.3");
  if (P <= 80)
    return Black("DA11.4");
  if (L - P >= 30)
    return P <= 179 ? Black("DA11.5") : White("DA11.5");
  if (Abs(P - L) <= 10)
    return Decided(n.oL, "DA11.6");
  if (A - P <= 35)
    return White("DA11.7");
  return P <= 150 ? Black("DA11.8") : White("DA11.8");
}

// Sub-list DA12, far edge, light pixel: A - P >= 30, 200 <= P <= 219.
Decision DecideDA12(const Neighbourhood &n) {
  const int P = n.P, A = n.A, L = n.L;
  if (A >= 236 && A - P >= 36)
    return Black("DA12.1");
  if (n.x >= 1 && Abs(P - L) <= 19)
    return Decided(n.oL, "DA12.2");
  return White("DA12.3");
}

// DA post-rules: a dark pixel in a notch, or under a light left neighbour,
// goes black whatever DA1 to DA12 said.
Decision ApplyDAPostRules(Decision d, const Neighbourhood &n) {
  const int P = n.P, B = n.B, L = n.L, R = n.R;
  if (n.x < 1)
    return d;
  // DAP1: the column test also admits the last column, whose R lies past the row.
  if (3 * n.x < n.nWidth - 1 && L - P >= 36 && R - P >= 36 && P <= 99) {
    d.color = kBlack;
    d.post = "DAP1";
  }
  // DAP2.
  if (L >= 200 && P <= 199 && (P <= 99 || (n.oA != kBlack && P >= 101 && B <= 99))) {
    d.color = kBlack;
    d.post = "DAP2";
  }
  return d;
}

// Rule set DA, darker than above: A - P >= 1.
Decision DecideDA(const Neighbourhood &n) {
  const int P = n.P, A = n.A, L = n.L, LL = n.LL, R = n.R;
  if (n.x < n.last && P <= 149 && R >= 220)
    return Black("DA1");
  if (P <= 49)
    return Black("DA2");
  if (A >= 220 && P <= 180)
    return Abs(P - L) <= 10 ? Decided(n.oL, "DA3") : Black("DA3");
  if (n.x >= 3 && LL <= 49 && L <= 79 && P >= 100)
    return White("DA4");
  if (P <= 149 && A >= 201)
    return Black("DA5");
  if (n.x >= 1 && Abs(P - L) <= 10)
    return Decided(n.oL, "DA6");
  if (n.N >= 6 && Abs(P - n.M) <= 10)
    return Decided(n.oA, "DA7");
  if (P < L && n.oL == kBlack)
    return Black("DA8");
  if (A - P <= 10)
    return Decided(n.oA, "DA9");
  if (A - P <= 29)
    return DecideDA10(n);
  if (P <= 199)
    return DecideDA11(n);
  return DecideDA12(n);
}

// Rule set DK, dark and not darker than above: A <= P <= 99.
Decision DecideDK(const Neighbourhood &n) {
  const int P = n.P, A = n.A, B = n.B, L = n.L, LL = n.LL, R = n.R;
  if (n.N >= 5 && Abs(P - n.M) <= 9)
    return Decided(n.oA, "DK1");
  if (n.x < n.last && R >= 220)
    return Black("DK2");
  if (n.x >= 1 && Abs(L - P) <= 10)
    return Decided(n.oL, "DK3");
  if (n.x >= 2 && LL <= 29 && L <= 49 && P >= 91)
    return White("DK4");
  if (P <= 49)
    return Black("DK5");
  if (n.x >= 1 && n.oL == kBlack && P < L)
    return Black("DK6");
  if (n.x >= 1 && L - P >= 36 && n.oL == kWhite)
    return Black("DK7");
  if (n.x >= 1 && P - L >= 36 && P >= 80)
    return White("DK8");
  if (P - A >= 36 && P >= 80)
    return White("DK9");
  // DK10: R, RR, AR and ARR past the last column are the next cells of the buffer.
  if (P - A >= 36 && P - B >= 36 && R - n.AR >= 36 && n.RR - n.ARR >= 36)
    return White("DK10");
  return Black("DK11");
}

// Sub-list LT11: x >= 1, P - A >= 21, L >= 220.
Decision DecideLT11(const Neighbourhood &n) {
  const int P = n.P, L = n.L;
  if (L - P <= 19)
    return Decided(n.oL, "LT11.1");
  if (n.oA == kWhite)
    return White("LT11.2");
  if (L - P <= 30)
    return White("LT11.3");
  return Black("LT11.4");
}

// Sub-list LT12: x >= 1, P - A >= 21, L <= 219. The right scan follows.
Decision DecideLT12(const Neighbourhood &n) {
  const int P = n.P, A = n.A, B = n.B, L = n.L, R = n.R;
  if (L - P >= 31 && R - P >= 31)
    return Black("LT12.1");
  if (P - A >= 31 && P - B >= 31 && (Abs(P - L) <= 34 || Abs(P - R) <= 34))
    return White("LT12.2");
  if (P - L >= 31 && n.oL == kBlack && P >= 150)
    return White("LT12.3");
  if (n.oL == kWhite && L - P >= 36) {
    if (P - A >= 31 && P - B >= 31 && P >= 101)
      return White("LT12.4");
    return Black("LT12.4");
  }
  if (P - L <= 20)
    return Decided(n.oL, "LT12.5");
  return White("LT12.6");
}

// Rule set LT, light and not darker than above: 100 <= P <= 219, A <= P.
Decision DecideLT(const Neighbourhood &n) {
  const int P = n.P, A = n.A, L = n.L, LL = n.LL, R = n.R;
  if (n.N >= 5 && Abs(P - n.M) <= 5) {
    if (n.x >= 1 && Abs(P - n.M) > Abs(P - L))
      return Decided(n.oL, "LT1");
    return Decided(n.oA, "LT1");
  }
  if (n.x < n.last && P <= 179 && R >= 220)
    return Black("LT2");
  if (n.x >= 1 && Abs(L - P) <= 10)
    return Decided(n.oL, "LT3");
  if (n.x >= 3 && LL <= 49 && L <= 79)
    return White("LT4");
  if (n.x >= 1 && P > L && n.oL == kWhite)
    return White("LT5");
  if (n.x >= 2 && LL <= 49 && L <= 69)
    return White("LT6");
  if (P - L >= 51)
    return White("LT7");
  if (P - A <= 20)
    return Decided(n.oA, "LT8");
  if (n.x >= 1 && n.x < n.last && P - L >= 36 && P - R >= 36)
    return White("LT9");
  if (n.x == 0)
    return White("LT10");
  if (L >= 220)
    return DecideLT11(n);
  Decision d = DecideLT12(n);
  d.bRightScan = true;
  return d;
}

} // namespace

Decision DecideTopRow(const Neighbourhood &n) {
  const int P = n.P, L = n.L;
  if (n.x == 0)
    return P <= 199 ? Black("T1") : White("T1");
  if (Abs(P - L) <= 19)
    return Decided(n.oL, "T2");
  return P >= 100 ? White("T3") : Black("T3");
}

Decision DecideUpperNeighbour(const Neighbourhood &n) {
  const int P = n.P, A = n.A, B = n.B, L = n.L, R = n.R;
  // U1: the pixel matches a run of at least 5 like pixels above.
  if (n.N >= 5 && Abs(P - n.M) <= 9) {
    if (n.x >= 1 && L - P >= 36 && P <= 179)
      return Black("U1.1");
    if (n.x == 0)
      return Decided(n.oA, "U1.2");
    if (Abs(P - n.M) <= Abs(P - L))
      return Decided(n.oA, "U1.3");
    return Decided(n.oL, "U1.4");
  }
  if (P <= 49)
    return Black("U2");
  if (P < A && n.oA == kBlack)
    return Black("U3");
  if (n.x >= 1 && Abs(P - L) <= 9)
    return Decided(n.oL, "U4");
  if (P <= 99)
    return Black("U5");
  // U6: a light pixel between dark ones.
  if (A <= 99 && B <= 99) {
    if (R - P >= 36 && P <= 149)
      return Black("U6.1");
    if (Abs(P - A) <= 29)
      return Decided(n.oA, "U6.2");
    return White("U6.3");
  }
  if (P <= 199)
    return DecideU7(n);
  return DecideU8(n);
}

Decision DecideLowerNeighbour(const Neighbourhood &n) {
  if (n.P < n.A)
    return ApplyDAPostRules(DecideDA(n), n);
  if (n.P <= 99)
    return DecideDK(n);
  return DecideLT(n);
}

Decision ApplyRightScan(Decision d, const Neighbourhood &n, ScanStop stop) {
  d.bRightScan = false;
  if (!stop.bStopped) {
    d.post = "scan: no stop";
    return d;
  }
  if (n.P >= 201) {
    d.color = kWhite;
    d.post = "scan.1";
  } else if (stop.s < stop.t && d.color == kBlack) {
    d.color = kWhite;
    d.post = "scan.2";
  } else {
    d.post = "scan.3";
  }
  return d;
}
