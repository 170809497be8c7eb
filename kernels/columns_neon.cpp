// The 128-bit path of 64-bit ARM: two columns per vector (NEON, which every AArch64
// processor has), and a lone column's rows two at a time.
#include "target.h"
#if defined(ZORVAN_AARCH64)
#include "column_groups.h"
#include "neon_lanes.h"

void movingAverageColumnsNeon(const double* x, double* y, std::int32_t M, std::int32_t N,
                              std::int32_t W, std::int32_t S) {
    averageBlock<Neon, Neon, false>(x, nullptr, y, M, N, W, S);
}

void restrictedMovingAverageColumnsNeon(const double* x, const double* v, double* y,
                                        std::int32_t M, std::int32_t N, std::int32_t W,
                                        std::int32_t S) {
    averageBlock<Neon, Neon, true>(x, v, y, M, N, W, S);
}
#endif
