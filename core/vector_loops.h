// Plain loops over the bytes of a page, written so that the compiler turns
// them into vector code. On x86-64 GCC also makes copies of such a loop for
// processors with SSSE3 and AVX2, whose byte shuffles move 16 or 32 bytes at
// once, and picks the right copy when the filter starts.
#pragma once

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define PAGE_LOOP __attribute__((target_clones("avx2", "ssse3", "default")))
#else
#define PAGE_LOOP
#endif
