// Eight cells of a row at a time: the classifier's runs and scans walk a row
// copied one byte per cell, and test eight of its bytes in one 64-bit word,
// with no branch for each cell. Runs above a pixel and scans to its right
// mostly end within a few cells, at places no branch predictor can guess.
//
// Every test leaves, for each byte of the word, its answer in the byte's top
// bit (0x80 = yes), and never carries between bytes.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

constexpr int kWordCells = 8;

constexpr uint64_t kEveryByte = 0x0101010101010101; // 1 in each byte
constexpr uint64_t kTopBits = 0x8080808080808080;   // bit 7 of each byte

// 'LoadCells()' - The 8 bytes at p, the first in the lowest byte.
inline uint64_t LoadCells(const uint8_t *p) {
  uint64_t w;
  memcpy(&w, p, 8);
  if constexpr (std::endian::native == std::endian::big)
    w = __builtin_bswap64(w);
  return w;
}

// 'NonZeroBytes()' - The bytes of w that are not 0.
inline uint64_t NonZeroBytes(uint64_t w) {
  // The low 7 bits plus 0x7F reach bit 7 unless they are all 0.
  return (((w & ~kTopBits) + ~kTopBits) | w) & kTopBits;
}

// 'BytesOutside()' - The bytes of w outside lo .. hi, 0 <= lo <= hi < lo + 128.
inline uint64_t BytesOutside(uint64_t w, int lo, int hi) {
  // d = w - lo in each byte, without borrows between bytes; a byte is inside
  // when d <= hi - lo, which is below 128.
  const uint64_t los = kEveryByte * static_cast<uint64_t>(lo);
  const uint64_t d = ((w | kTopBits) - (los & ~kTopBits)) ^ ((w ^ ~los) & kTopBits);
  const uint64_t above = kEveryByte * static_cast<uint64_t>(127 - (hi - lo));
  return (((d & ~kTopBits) + above) | d) & kTopBits;
}

// 'BytesFrom()' - The bytes from byte k on, 0 <= k <= 8.
inline uint64_t BytesFrom(int k) { return k >= kWordCells ? 0 : ~uint64_t{0} << (8 * k); }

// 'FirstByte()' - The index of the lowest byte whose top bit is set in
// t != 0.
inline int FirstByte(uint64_t t) { return std::countr_zero(t) / 8; }

// 'SumOfBytes()' - The sum of the 8 bytes of w.
inline uint32_t SumOfBytes(uint64_t w) {
  // Pairs of bytes in 16 bits, then the four pairs added in the top 16 bits.
  constexpr uint64_t kEvenBytes = 0x00FF00FF00FF00FF;
  w = (w & kEvenBytes) + ((w >> 8) & kEvenBytes);
  return static_cast<uint32_t>((w * 0x0001000100010001) >> 48);
}
