// Eight pixels of a working image at a time: most of a label is white paper,
// solid black or sharp black-and-white edges, and those stretches need no
// work in any pass. A chunk is 24 bytes, read as three words.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

// Pixels per chunk, and the bytes they take.
constexpr int kChunkPixels = 8;
constexpr int kChunkBytes = 3 * kChunkPixels;

struct ChunkWords {
  uint64_t a, b, c; // bytes 0..7, 8..15, 16..23
};

inline ChunkWords LoadChunk(const uint8_t *p) {
  ChunkWords w;
  memcpy(&w.a, p, 8);
  memcpy(&w.b, p + 8, 8);
  memcpy(&w.c, p + 16, 8);
  return w;
}

// 'ChunkIsWhite()' - The 24 bytes at p are all 255.
inline bool ChunkIsWhite(const uint8_t *p) {
  const ChunkWords w = LoadChunk(p);
  return (w.a & w.b & w.c) == ~uint64_t{0};
}

// 'ChunkIsBlack()' - The 24 bytes at p are all 0.
inline bool ChunkIsBlack(const uint8_t *p) {
  const ChunkWords w = LoadChunk(p);
  return (w.a | w.b | w.c) == 0;
}

// 'ChunkIsGray()' - Each of the 8 pixels at p has three equal bytes: each
// byte is compared with the byte after it, and only the comparisons that
// start at a pixel's byte 0 or byte 1 count.
inline bool ChunkIsGray(const uint8_t *p) {
  if constexpr (std::endian::native != std::endian::little) {
    for (int i = 0; i < kChunkBytes; i += 3)
      if (p[i] != p[i + 1] || p[i + 1] != p[i + 2])
        return false;
    return true;
  }
  const ChunkWords w = LoadChunk(p);
  // Byte i of a mask is FF where byte i of the word is a pixel's byte 0 or 1.
  constexpr uint64_t kMaskA = 0xFFFF00FFFF00FFFF; // bytes 0..7
  constexpr uint64_t kMaskB = 0xFF00FFFF00FFFF00; // bytes 8..15
  constexpr uint64_t kMaskC = 0x00FFFF00FFFF00FF; // bytes 16..23
  const uint64_t differA = (w.a ^ (w.a >> 8 | w.b << 56)) & kMaskA;
  const uint64_t differB = (w.b ^ (w.b >> 8 | w.c << 56)) & kMaskB;
  const uint64_t differC = (w.c ^ (w.c >> 8)) & kMaskC;
  return (differA | differB | differC) == 0;
}

// 'ChunkBytesAre0Or255()' - Each of the 24 bytes at p is 0 or 255: its 8
// bits are alike (bit 7 of each byte is compared with the next byte's bit 0,
// which the mask leaves out). On a gray page, 8 black or white pixels.
inline bool ChunkBytesAre0Or255(const uint8_t *p) {
  const ChunkWords w = LoadChunk(p);
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7F;
  return (((w.a ^ (w.a >> 1)) | (w.b ^ (w.b >> 1)) | (w.c ^ (w.c >> 1))) & kLow7) == 0;
}

// 'ChunkIsBlackAndWhite()' - Each of the 8 pixels at p is 0, 0, 0 or
// 255, 255, 255.
inline bool ChunkIsBlackAndWhite(const uint8_t *p) {
  return ChunkBytesAre0Or255(p) && ChunkIsGray(p);
}

// 'ChunkIsPaperOrInk()' - Each of the 8 pixels at p is 0, 0, 0 or
// 255, 255, 255, where the caller knows them to be gray: white paper first,
// as most of a label is.
inline bool ChunkIsPaperOrInk(const uint8_t *p, bool gray) {
  if (ChunkIsWhite(p))
    return true;
  return gray ? ChunkBytesAre0Or255(p) : ChunkIsBlackAndWhite(p);
}

// 'RowIsGray()' - Every pixel of a row of 'width' pixels has three equal bytes.
inline bool RowIsGray(const uint8_t *row, int width) {
  int x = 0;
  for (; x + kChunkPixels <= width; x += kChunkPixels, row += kChunkBytes)
    if (!ChunkIsWhite(row) && !ChunkIsGray(row))
      return false;
  for (; x < width; ++x, row += 3)
    if (row[0] != row[1] || row[1] != row[2])
      return false;
  return true;
}

// 'ChunkHasByteBelow100()' - Some byte of the 24 at p is 99 or less: the
// word trick that flags a byte below n (n up to 128) without a borrow
// reaching the flag of another byte.
inline bool ChunkHasByteBelow100(const uint8_t *p) {
  constexpr uint64_t kOnes = 0x0101010101010101, kHighs = 0x8080808080808080;
  auto below = [](uint64_t x) { return (x - kOnes * 100) & ~x & kHighs; };
  const ChunkWords w = LoadChunk(p);
  return (below(w.a) | below(w.b) | below(w.c)) != 0;
}

// 'ChunkHasByteAbove224()' - Some byte of the 24 at p is 225 or more: its
// complement is below 31.
inline bool ChunkHasByteAbove224(const uint8_t *p) {
  constexpr uint64_t kOnes = 0x0101010101010101, kHighs = 0x8080808080808080;
  auto below = [](uint64_t x) { return (x - kOnes * 31) & ~x & kHighs; };
  const ChunkWords w = LoadChunk(p);
  return (below(~w.a) | below(~w.b) | below(~w.c)) != 0;
}

// 'ChunkBlackPixels()' - The pixels of the chunk at p whose three bytes are
// all 0, as a byte with pixel k in bit 7 - k (the packed page's order).
inline uint8_t ChunkBlackPixels(const uint8_t *p) {
  if constexpr (std::endian::native != std::endian::little) {
    unsigned black = 0;
    for (int k = 0; k < kChunkPixels; ++k, p += 3)
      if ((p[0] | p[1] | p[2]) == 0)
        black |= 0x80u >> k;
    return static_cast<uint8_t>(black);
  }
  const ChunkWords w = LoadChunk(p);
  // Byte i of t: bytes i, i + 1 and i + 2 of the chunk ORed together.
  const uint64_t ta = w.a | (w.a >> 8 | w.b << 56) | (w.a >> 16 | w.b << 48);
  const uint64_t tb = w.b | (w.b >> 8 | w.c << 56) | (w.b >> 16 | w.c << 48);
  const uint64_t tc = w.c | w.c >> 8 | w.c >> 16;
  // Bit 7 of each byte of z: that byte of t is 0.
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7F;
  auto zero = [](uint64_t t) { return ~(((t & kLow7) + kLow7) | t | kLow7); };
  const uint64_t za = zero(ta), zb = zero(tb), zc = zero(tc);
  // Pixel k starts at byte 3k: bytes 0, 3, 6 of a; 1, 4, 7 of b; 2, 5 of c.
  return static_cast<uint8_t>((za >> 7 & 1) << 7 | (za >> 31 & 1) << 6 | (za >> 55 & 1) << 5 |
                              (zb >> 15 & 1) << 4 | (zb >> 39 & 1) << 3 | (zb >> 63 & 1) << 2 |
                              (zc >> 23 & 1) << 1 | (zc >> 47 & 1));
}
