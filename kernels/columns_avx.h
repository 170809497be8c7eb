// The 256-bit path, built from its own source for processors with AVX. Each function
// averages columns first .. N-1 in groups while whole groups remain and returns the
// first column left over. W >= 1 and S >= 0.
#ifndef ZORVAN_KERNELS_COLUMNS_AVX_H
#define ZORVAN_KERNELS_COLUMNS_AVX_H

#include <cstdint>

std::int32_t movingAverageColumnsAvx(const double* x, double* y, std::int32_t M,
                                     std::int32_t N, std::int32_t W, std::int32_t S,
                                     double emptyWindow);
std::int32_t restrictedMovingAverageColumnsAvx(const double* x, const double* v, double* y,
                                               std::int32_t M, std::int32_t N, std::int32_t W,
                                               std::int32_t S);

#endif
