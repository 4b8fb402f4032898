// Buffer addresses in the job log's traces: the low 32 bits, as "%x" prints
// them, 0 for a buffer that was not made. A made buffer never shows as 0,
// even where its low 32 bits are.
#pragma once

#include <cstdint>

inline unsigned Trace(const void *p) {
  const auto low = static_cast<unsigned>(reinterpret_cast<uintptr_t>(p));
  return p != nullptr && low == 0 ? 1 : low;
}
