#pragma once

// Vector code for x86-64 with GCC or Clang: compiled for AVX2 and chosen at run time.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QUORVEL_HAVE_AVX2 1
#include <immintrin.h>

inline bool cpuHasAvx2()
{
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif
