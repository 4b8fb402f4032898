// Buffer addresses in the job log's traces: the low 32 bits, as "%x" prints
// them, 0 for a buffer that was not made.
#pragma once

#include <cstdint>

inline unsigned Trace(const void *p) {
  return static_cast<unsigned>(reinterpret_cast<uintptr_t>(p));
}
