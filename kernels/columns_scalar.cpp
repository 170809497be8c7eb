// The path of one lane: the same engine without vectors, for every target (and the only
// fast one where there are no vectors).
#include "column_groups.h"

void movingAverageColumnsScalar(const double* x, double* y, std::int32_t M, std::int32_t N,
                                std::int32_t W, std::int32_t S) {
    averageBlock<Scalar, Scalar, false>(x, nullptr, y, M, N, W, S);
}

void restrictedMovingAverageColumnsScalar(const double* x, const double* v, double* y,
                                          std::int32_t M, std::int32_t N, std::int32_t W,
                                          std::int32_t S) {
    averageBlock<Scalar, Scalar, true>(x, v, y, M, N, W, S);
}
