// The 256-bit path: four columns per vector, then two, and a lone column's rows four at
// a time, on x86-64. Built with the same flags as every other source: each function here
// is compiled for AVX by the compiler's per-function target selection (MSVC's intrinsics
// need none), and called only where the processor has AVX. Nothing here is shared with
// the other sources (see column_groups.h).
#include "target.h"
#if defined(ZORVAN_X86_64)
// What the engine includes from the standard library comes first, compiled as everywhere:
// only our own code, all of it with internal linkage, falls under the AVX target.
#include "moving_average.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

#include <immintrin.h>

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx"))), apply_to = function)
#elif defined(__GNUC__)
#pragma GCC push_options
#pragma GCC target("avx")
#endif

#include "avx_lanes.h"
#include "column_groups.h"
#include "sse2_lanes.h"

void movingAverageColumnsAvx(const double* x, double* y, std::int32_t M, std::int32_t N,
                             std::int32_t W, std::int32_t S) {
    averageBlock<Avx, Sse2, false>(x, nullptr, y, M, N, W, S);
    _mm256_zeroupper();  // the callers run 128-bit code
}

void restrictedMovingAverageColumnsAvx(const double* x, const double* v, double* y,
                                       std::int32_t M, std::int32_t N, std::int32_t W,
                                       std::int32_t S) {
    averageBlock<Avx, Sse2, true>(x, v, y, M, N, W, S);
    _mm256_zeroupper();
}

#if defined(__clang__)
#pragma clang attribute pop
#elif defined(__GNUC__)
#pragma GCC pop_options
#endif
#endif
