// The 256-bit path: four columns per vector, then two, and a lone column's rows four at
// a time. Compiled with AVX enabled and called only where the processor has it; nothing
// here is shared with the other sources (see column_groups.h).
#include "avx_lanes.h"
#include "column_groups.h"
#include "sse2_lanes.h"

void movingAverageColumnsAvx(const double* x, double* y, std::int32_t M, std::int32_t N,
                             std::int32_t W, std::int32_t S) {
    averageBlock<Avx, Sse2>(x, nullptr, y, M, N, W, S, false);
    _mm256_zeroupper();  // the callers run 128-bit code
}

void restrictedMovingAverageColumnsAvx(const double* x, const double* v, double* y,
                                       std::int32_t M, std::int32_t N, std::int32_t W,
                                       std::int32_t S) {
    averageBlock<Avx, Sse2>(x, v, y, M, N, W, S, false);
    _mm256_zeroupper();
}
