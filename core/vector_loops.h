// Plain loops over the bytes of a page, written so that the compiler turns
// them into vector code. On x86-64 GCC also makes copies of such a loop for
// processors with SSSE3 and AVX2, whose byte shuffles move 16 or 32 bytes at
// once, and picks the right copy when the filter starts.
//
// The portable build (LABELFILTER_PORTABLE, which the sanitizer build of the
// tests uses) has none of these copies, nor the AVX2 version of the half
// turn written by hand (X86_VECTOR_COPIES, output/transforms.cpp): every page
// takes the plain code that a processor without them runs.
#pragma once

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) &&                            \
    !defined(LABELFILTER_PORTABLE)
#define X86_VECTOR_COPIES 1
#endif

#if defined(X86_VECTOR_COPIES) && !defined(__clang__)
#define PAGE_LOOP __attribute__((target_clones("avx2", "ssse3", "default")))
#else
#define PAGE_LOOP
#endif
