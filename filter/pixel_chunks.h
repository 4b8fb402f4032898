// Eight pixels of a working image at a time: most of a label is white paper
// or solid black, and those stretches need no work in any pass.
#pragma once

#include <cstdint>
#include <cstring>

// Pixels per chunk, and the bytes they take.
constexpr int kChunkPixels = 8;
constexpr int kChunkBytes = 3 * kChunkPixels;

// 'ChunkIsWhite()' - The 24 bytes at p are all 255.
inline bool ChunkIsWhite(const uint8_t *p) {
  uint64_t a, b, c;
  memcpy(&a, p, 8);
  memcpy(&b, p + 8, 8);
  memcpy(&c, p + 16, 8);
  return (a & b & c) == ~uint64_t{0};
}

// 'ChunkIsBlack()' - The 24 bytes at p are all 0.
inline bool ChunkIsBlack(const uint8_t *p) {
  uint64_t a, b, c;
  memcpy(&a, p, 8);
  memcpy(&b, p + 8, 8);
  memcpy(&c, p + 16, 8);
  return (a | b | c) == 0;
}
