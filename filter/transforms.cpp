#include "transforms.h"

#include "Color2BW.h"
#include "vector_loops.h"

#include <cstring>
#include <new>

namespace {

// r[i] = source byte n - 1 - i with its eight pixels in the opposite order,
// complemented when 'flip' is 0xFF.
PAGE_LOOP void ReverseBytes(const uint8_t *src, uint8_t *r, size_t n, uint8_t flip) {
  for (size_t i = 0; i < n; ++i) {
    unsigned b = src[n - 1 - i] ^ flip;
    b = ((b >> 4) | (b << 4)) & 0xFF;
    b = ((b >> 2) & 0x33) | ((b & 0x33) << 2);
    b = ((b >> 1) & 0x55) | ((b & 0x55) << 1);
    r[i] = static_cast<uint8_t>(b);
  }
}

// Sixteen 16-bit lanes: 32 bytes of a row, worked on by 16-bit shifts.
typedef uint16_t Lanes __attribute__((vector_size(32)));

// dst[k] = the eight bits that start 'shift' bits into r[k], for k below n;
// r[n] must be readable, and dst may be r itself or lie before it. 32 bytes
// at a time: within each byte, the bits of r[k] moved up and those of
// r[k + 1] moved down meet, and masks keep each byte's bits to itself.
PAGE_LOOP void ShiftBytes(const uint8_t *r, uint8_t *dst, size_t n, int shift) {
  if (shift == 0) {
    std::memmove(dst, r, n);
    return;
  }
  const uint16_t high = static_cast<uint8_t>(0xFF << shift) * 0x0101;
  const uint16_t low = (0xFF >> (8 - shift)) * 0x0101;
  const Lanes highMask = high - Lanes{}, lowMask = low - Lanes{};
  size_t k = 0;
  for (; k + 32 <= n; k += 32) {
    Lanes current, next;
    std::memcpy(&current, r + k, 32);
    std::memcpy(&next, r + k + 1, 32);
    const Lanes out = ((current << shift) & highMask) | ((next >> (8 - shift)) & lowMask);
    std::memcpy(dst + k, &out, 32);
  }
  for (; k < n; ++k)
    dst[k] = static_cast<uint8_t>((r[k] << shift) | (r[k + 1] >> (8 - shift)));
}

// The whole page read backwards: its bytes in the opposite order, each with
// its pixels reversed, followed by white. Row h of the page becomes row
// nPictureH - 1 - h, read right to left; the row's padding bytes come first
// and the padding bits of its last pixel byte lead its first pixel byte.
PageBytes ReversedPage(std::span<const uint8_t> page) {
  PageBytes r(page.size() + 1);
  ReverseBytes(page.data(), r.data(), page.size(), 0);
  r[page.size()] = 0xFF;
  return r;
}

struct RowGeometry {
  size_t stride;        // bytes per row
  size_t nPictureWidth; // bytes of a row that hold pixels
  size_t lead;          // bytes in front of a reversed row's pixels
  int shift;            // padding bits in front of a reversed row's pixels
};

RowGeometry Geometry(int nPictureW, int nBytePerRow) {
  const size_t stride = static_cast<size_t>(nBytePerRow);
  const size_t nPictureWidth = (static_cast<size_t>(nPictureW) + 7) / 8;
  return {stride, nPictureWidth, stride - nPictureWidth, (8 - nPictureW % 8) % 8};
}

// After the shift, a row's last pixel byte took its low bits from whatever
// followed it, and its padding bytes are not yet set: make both 'white'.
void WhitenRowTail(uint8_t *row, size_t nPictureWidth, size_t stride, int shift, uint8_t white) {
  const uint8_t tail = static_cast<uint8_t>(0xFF >> (8 - shift));
  row[nPictureWidth - 1] = static_cast<uint8_t>((row[nPictureWidth - 1] & ~tail) | (white & tail));
  std::memset(row + nPictureWidth, white, stride - nPictureWidth);
}

PAGE_LOOP void CopyFlipped(const uint8_t *__restrict src, uint8_t *__restrict dst, size_t n,
                           uint8_t flip) {
  for (size_t i = 0; i < n; ++i)
    dst[i] = src[i] ^ flip;
}

bool AllBytesAre(const uint8_t *row, size_t bytes, uint8_t value) {
  const uint64_t pattern = value * 0x0101010101010101ull;
  size_t i = 0;
  for (; i + 8 <= bytes; i += 8) {
    uint64_t word;
    std::memcpy(&word, row + i, 8);
    if (word != pattern)
      return false;
  }
  for (; i < bytes; ++i)
    if (row[i] != value)
      return false;
  return true;
}

size_t RowBytes(int stride, int rows) {
  return static_cast<size_t>(stride) * static_cast<size_t>(rows);
}

// Transpose an 8 x 8 block of pixels held as eight row bytes, row 0 in the
// most significant byte and the leftmost pixel in each byte's top bit.
uint64_t Transpose8x8(uint64_t x) {
  uint64_t t;
  t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAull;
  x = x ^ t ^ (t << 7);
  t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCull;
  x = x ^ t ^ (t << 14);
  t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ull;
  x = x ^ t ^ (t << 28);
  return x;
}

} // namespace

PageBytes HalfTurn(std::span<const uint8_t> pImage, int nPictureW, int nPictureH, int nBytePerRow,
                   bool inverted) {
  const size_t size = RowBytes(nBytePerRow, nPictureH);
  PageBytes pBuf180(size + 1);
  PrinterRows(pImage, nPictureW, nPictureH, nBytePerRow, true, inverted ? 0xFF : 0x00,
              inverted ? 0x00 : 0xFF)
      .Copy(0, nPictureH, pBuf180.data());
  pBuf180.resize(size);
  return pBuf180;
}

std::vector<uint8_t> Rotate90Degrees(std::span<const uint8_t> pImage, int nBitmapCX,
                                     int nBitmapCY, int nImageWidth) {
  const int linebyte = static_cast<int>(PackedStride(nBitmapCY));
  std::vector<uint8_t> pBuf90(RowBytes(linebyte, nBitmapCX), 0xFF);

  // Destination column c holds source row nBitmapCY - 1 - c, so destination
  // byte column b gathers eight source rows from the bottom up. Rows above
  // the top of the source are white.
  const int sourceBytes = (nBitmapCX + 7) / 8; // source bytes that hold pixels
  const int destBytes = (nBitmapCY + 7) / 8;
  for (int b = 0; b < destBytes; ++b) {
    const uint8_t *rows[8];
    for (int k = 0; k < 8; ++k) {
      int r = nBitmapCY - 1 - (8 * b + k);
      rows[k] = r >= 0 ? pImage.data() + RowBytes(nImageWidth, r) : nullptr;
    }
    for (int x = 0; x < sourceBytes; ++x) {
      uint64_t block = 0;
      for (int k = 0; k < 8; ++k)
        block = (block << 8) | (rows[k] ? rows[k][x] : 0xFFu);
      block = Transpose8x8(block);
      // Row j of the transposed block is destination row 8x + j.
      for (int j = 0; j < 8 && 8 * x + j < nBitmapCX; ++j)
        pBuf90[RowBytes(linebyte, 8 * x + j) + b] = static_cast<uint8_t>(block >> (56 - 8 * j));
    }
  }
  return pBuf90;
}

std::optional<std::vector<uint8_t>> MirrorPicture(int nPictureW, int nPictureH, int nBytePerRow,
                                                  std::span<const uint8_t> pImage) {
  const size_t size = RowBytes(nBytePerRow, nPictureH);
  std::vector<uint8_t> pMirror;
  PageBytes r;
  try {
    pMirror.assign(size, 0xFF);
    r = ReversedPage(pImage.first(size));
  } catch (const std::bad_alloc &) {
    return std::nullopt; // the page goes on unmirrored
  }
  const RowGeometry g = Geometry(nPictureW, nBytePerRow);
  if (g.nPictureWidth == 0)
    return pMirror;

  // Row j reversed is row nPictureH - 1 - j of the page read backwards.
  for (int j = 0; j < nPictureH; ++j) {
    uint8_t *row = pMirror.data() + RowBytes(nBytePerRow, j);
    ShiftBytes(r.data() + RowBytes(nBytePerRow, nPictureH - 1 - j) + g.lead, row,
               g.nPictureWidth, g.shift);
    WhitenRowTail(row, g.nPictureWidth, g.stride, g.shift, 0xFF);
  }
  return pMirror;
}

void InvertPage(std::span<uint8_t> page) {
  for (uint8_t &b : page)
    b = static_cast<uint8_t>(~b);
}

PrinterRows::PrinterRows(std::span<const uint8_t> page, int nPictureW, int nPictureH,
                         int nBytePerRow, bool turned, uint8_t flip, uint8_t white)
    : page_(page.first(RowBytes(nBytePerRow, nPictureH))), rows_(nPictureH),
      stride_(static_cast<size_t>(nBytePerRow)),
      pictureBytes_(Geometry(nPictureW, nBytePerRow).nPictureWidth),
      shift_(Geometry(nPictureW, nBytePerRow).shift), turned_(turned), flip_(flip),
      white_(white) {}

bool PrinterRows::IsBlank(int j) const {
  if (!turned_)
    return AllBytesAre(page_.data() + stride_ * static_cast<size_t>(j), stride_, flip_);
  // A turned row holds the pixels of source row rows_ - 1 - j and white.
  const bool whitePadding = shift_ > 0 || pictureBytes_ < stride_;
  if (pictureBytes_ == 0 || (whitePadding && white_ != 0))
    return pictureBytes_ == 0 && white_ == 0;
  const uint8_t *row = page_.data() + stride_ * static_cast<size_t>(rows_ - 1 - j);
  const uint8_t pixels = static_cast<uint8_t>(0xFF << shift_);
  return AllBytesAre(row, pictureBytes_ - 1, flip_) &&
         ((row[pictureBytes_ - 1] ^ flip_) & pixels) == 0;
}

void PrinterRows::Copy(int first, int count, uint8_t *dest) const {
  const size_t bytes = stride_ * static_cast<size_t>(count);
  if (!turned_) {
    const uint8_t *src = page_.data() + stride_ * static_cast<size_t>(first);
    if (flip_ == 0)
      std::memcpy(dest, src, bytes);
    else
      CopyFlipped(src, dest, bytes, flip_);
    return;
  }
  if (bytes == 0)
    return;
  if (pictureBytes_ == 0) {
    std::memset(dest, white_, bytes);
    return;
  }
  // Read backwards, the rows are already turned; each only has to move left
  // past its padding. The rows wanted, read backwards, start at the padding
  // of source row rows_ - first - 1 and end at the start of source row
  // rows_ - first - count: reverse them, then shift the lot in place (the
  // shift reads one byte ahead, the scratch byte, and what it brings in is
  // whitened).
  const size_t lead = stride_ - pictureBytes_;
  const size_t n = bytes - lead;
  const size_t start = page_.size() - stride_ * static_cast<size_t>(first + count);
  ReverseBytes(page_.data() + start, dest, n, flip_);
  dest[n] = white_;
  ShiftBytes(dest, dest, n, shift_);
  for (int h = 0; h < count; ++h)
    WhitenRowTail(dest + stride_ * static_cast<size_t>(h), pictureBytes_, stride_, shift_, white_);
}
