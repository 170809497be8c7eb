// The 128-bit path: two columns per vector, on every x86-64 processor.
#include "target.h"
#if defined(ZORVAN_X86_64)
#include "column_groups.h"
#include "sse2_lanes.h"

void movingAverageColumnsSse2(const double* x, double* y, std::int32_t M, std::int32_t N,
                              std::int32_t W, std::int32_t S) {
    averageBlock<Sse2, Sse2, false>(x, nullptr, y, M, N, W, S);
}

void restrictedMovingAverageColumnsSse2(const double* x, const double* v, double* y,
                                        std::int32_t M, std::int32_t N, std::int32_t W,
                                        std::int32_t S) {
    averageBlock<Sse2, Sse2, true>(x, v, y, M, N, W, S);
}
#endif
