#include "transforms.h"

#include "page_image.h"
#include "vector_loops.h"

#include <algorithm>
#include <cstring>
#include <new>

#ifdef X86_VECTOR_COPIES
#include <immintrin.h>
#endif

namespace {

// The bytes of a stretch of rows read backwards, right to left: dst[k] is
// src[n - 1 - k] with its pixels in the opposite order, moved along by
// 'shift' pixels so that the padding bits at the end of a row's last pixel
// byte fall out and the next byte's pixels fill in; 0 comes in before
// src[0]. Complemented when 'flip' is 0xFF. Put another way: with
// u[i] = src[i] >> shift | src[i - 1] << (8 - shift), dst[k] = u[n - 1 - k]
// with its bits reversed.
uint8_t TurnedByte(const uint8_t *src, size_t i, int shift, uint8_t flip) {
  unsigned u = src[i] >> shift;
  if (shift > 0 && i > 0)
    u |= (src[i - 1] << (8 - shift)) & 0xFF;
  u = (u >> 4) | ((u << 4) & 0xF0);
  u = ((u >> 2) & 0x33) | ((u & 0x33) << 2);
  u = ((u >> 1) & 0x55) | ((u & 0x55) << 1);
  return static_cast<uint8_t>(u ^ flip);
}

void TurnBytesOneByOne(const uint8_t *src, uint8_t *dst, size_t n, int shift, uint8_t flip) {
  for (size_t i = 0; i < n; ++i)
    dst[n - 1 - i] = TurnedByte(src, i, shift, flip);
}

#ifdef X86_VECTOR_COPIES
#define TURN_BYTES_AVX2 1
// 32 bytes at a time: the shift in 16-bit lanes with masks that keep each
// byte's bits to itself, the bit reversal by a lookup of each half byte,
// then the 32 bytes in the opposite order. A 1-bit page's half turn needs
// it: one byte at a time the filter takes about 1.2 times as long as reading
// the page, over its limit of half (bench/run_whole_process.sh). Clang's
// warning counts this version as unused, though its dispatcher picks it.
#ifdef __clang__
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wunused-function"
#endif
__attribute__((target("avx2"))) void TurnBytes(const uint8_t *src, uint8_t *dst, size_t n,
                                               int shift, uint8_t flip) {
  const __m128i count = _mm_cvtsi32_si128(shift);
  const __m128i countBack = _mm_cvtsi32_si128(8 - shift);
  const __m256i keepLow = _mm256_set1_epi8(static_cast<char>(0xFF >> shift));
  const __m256i keepHigh = _mm256_set1_epi8(static_cast<char>((0xFF << (8 - shift)) & 0xFF));
  const __m256i nibble = _mm256_set1_epi8(0x0F);
  // A half byte's bits in the opposite order, the low half moved up.
  // The complement is folded into the two tables.
  const __m128i reversed =
      _mm_setr_epi8(0x0, 0x8, 0x4, 0xC, 0x2, 0xA, 0x6, 0xE, 0x1, 0x9, 0x5, 0xD, 0x3, 0xB, 0x7, 0xF);
  const __m128i highHalf = _mm_set1_epi8(static_cast<char>(flip & 0xF0));
  const __m128i lowHalf = _mm_set1_epi8(static_cast<char>(flip & 0x0F));
  const __m256i lowToHigh =
      _mm256_broadcastsi128_si256(_mm_xor_si128(_mm_slli_epi16(reversed, 4), highHalf));
  const __m256i highToLow = _mm256_broadcastsi128_si256(_mm_xor_si128(reversed, lowHalf));
  const __m256i backwards = _mm256_setr_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0,
                                             15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
  if (n < 33) {
    TurnBytesOneByOne(src, dst, n, shift, flip);
    return;
  }
  // Byte 0 has nothing before it. Then source bytes i to i + 31 at a time
  // into their place at the other end; the last 32 may overlap the ones
  // before them, which come out the same.
  dst[n - 1] = TurnedByte(src, 0, shift, flip);
  for (size_t next = 1; next < n; next += 32) {
    const size_t i = std::min(next, n - 32);
    const __m256i here = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(src + i));
    const __m256i before = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(src + i - 1));
    const __m256i u =
        _mm256_or_si256(_mm256_and_si256(_mm256_srl_epi16(here, count), keepLow),
                        _mm256_and_si256(_mm256_sll_epi16(before, countBack), keepHigh));
    const __m256i low = _mm256_and_si256(u, nibble);
    const __m256i high = _mm256_and_si256(_mm256_srli_epi16(u, 4), nibble);
    __m256i r =
        _mm256_or_si256(_mm256_shuffle_epi8(lowToHigh, low), _mm256_shuffle_epi8(highToLow, high));
    r = _mm256_shuffle_epi8(r, backwards);
    r = _mm256_permute2x128_si256(r, r, 0x01);
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(dst + n - i - 32), r);
  }
}
#ifdef __clang__
#pragma clang diagnostic pop
#endif
#endif

#ifdef TURN_BYTES_AVX2
__attribute__((target("default")))
#endif
void TurnBytes(const uint8_t *src, uint8_t *dst, size_t n, int shift, uint8_t flip) {
  TurnBytesOneByOne(src, dst, n, shift, flip);
}

struct RowGeometry {
  size_t stride;        // bytes per row
  size_t nPictureWidth; // bytes of a row that hold pixels
  int shift;            // padding bits in front of a reversed row's pixels
};

RowGeometry Geometry(int nPictureW, int nBytePerRow) {
  const size_t stride = static_cast<size_t>(nBytePerRow);
  const size_t nPictureWidth = (static_cast<size_t>(nPictureW) + 7) / 8;
  return {stride, nPictureWidth, (8 - nPictureW % 8) % 8};
}

// After the turn, a row's last pixel byte took its low bits from whatever
// followed it, and its padding bytes are not yet set: make both 'white', in
// each of 'count' rows.
void WhitenRowTails(uint8_t *rows, int count, size_t nPictureWidth, size_t stride, int shift,
                    uint8_t white) {
  const uint8_t tail = static_cast<uint8_t>(0xFF >> (8 - shift));
  const uint8_t fill = white & tail;
  const size_t padding = stride - nPictureWidth;
  if (tail == 0 && padding == 0)
    return;
  for (uint8_t *row = rows; row < rows + stride * static_cast<size_t>(count); row += stride) {
    row[nPictureWidth - 1] = static_cast<uint8_t>((row[nPictureWidth - 1] & ~tail) | fill);
    if (padding > 0)
      std::memset(row + nPictureWidth, white, padding);
  }
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

PageBytes HalfTurn(std::span<const uint8_t> pImage, int nPictureW, int nPictureH, int nBytePerRow) {
  PageBytes pBuf180(RowBytes(nBytePerRow, nPictureH));
  PrinterRows(pImage, nPictureW, nPictureH, nBytePerRow, true, 0x00, 0xFF)
      .Copy(0, nPictureH, pBuf180.data());
  return pBuf180;
}

std::vector<uint8_t> Rotate90Degrees(std::span<const uint8_t> pImage, int nBitmapCX, int nBitmapCY,
                                     int nImageWidth) {
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

std::vector<uint8_t> MirrorPicture(int nPictureW, int nPictureH, int nBytePerRow,
                                   std::span<const uint8_t> pImage) {
  std::vector<uint8_t> pMirror(RowBytes(nBytePerRow, nPictureH), 0xFF);
  const RowGeometry g = Geometry(nPictureW, nBytePerRow);
  if (g.nPictureWidth == 0)
    return pMirror;

  // Each row read right to left, as the half turn reads a whole page.
  for (int j = 0; j < nPictureH; ++j) {
    uint8_t *row = pMirror.data() + RowBytes(nBytePerRow, j);
    TurnBytes(pImage.data() + RowBytes(nBytePerRow, j), row, g.nPictureWidth, g.shift, 0x00);
    WhitenRowTails(row, 1, g.nPictureWidth, g.stride, g.shift, 0xFF);
  }
  return pMirror;
}

void InvertPage(std::span<uint8_t> page) {
  for (uint8_t &b : page)
    b = static_cast<uint8_t>(~b);
}

PrinterRows::PrinterRows(std::span<const uint8_t> page, int nPictureW, int nPictureH,
                         int nBytePerRow, bool turned, uint8_t flip, uint8_t white)
    : page_(page.first(RowBytes(nBytePerRow, nPictureH))), rows_(nPictureH), turned_(turned),
      flip_(flip), white_(white) {
  const RowGeometry g = Geometry(nPictureW, nBytePerRow);
  stride_ = g.stride;
  pictureBytes_ = g.nPictureWidth;
  shift_ = g.shift;
}

bool PrinterRows::IsBlank(int j) const {
  if (!turned_)
    return AllBytesAre(page_.data() + stride_ * static_cast<size_t>(j), stride_, flip_);
  // A turned row holds the pixels of source row rows_ - 1 - j and white,
  // which on a negative page is dots wherever the row has padding.
  if (pictureBytes_ == 0)
    return white_ == 0;
  if (white_ != 0 && (shift_ > 0 || pictureBytes_ < stride_))
    return false;
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
  // Read backwards, the rows are already turned: the rows wanted are source
  // rows rows_ - first - count to rows_ - first - 1 without the padding bytes
  // of the last of them.
  const size_t n = bytes - (stride_ - pictureBytes_);
  TurnBytes(page_.data() + page_.size() - stride_ * static_cast<size_t>(first + count), dest, n,
            shift_, flip_);
  WhitenRowTails(dest, count, pictureBytes_, stride_, shift_, white_);
}
