// The two averages over every column of an M x N column-major block (column c starts at
// element c * M), bit-identical to the column kernels of moving_average.h applied to each
// column. Several columns advance together, each with its own running sum, in vectors as
// wide as the processor has; a lone column's chain runs alone while vectors do the rest.
// x and y must not overlap; v serves every column. They never allocate or fail.
#ifndef ZORVAN_KERNELS_COLUMNS_H
#define ZORVAN_KERNELS_COLUMNS_H

#include <cstdint>

void movingAverageColumns(const double* x, double* y, std::int32_t M, std::int32_t N,
                          std::int32_t W, std::int32_t S);
void restrictedMovingAverageColumns(const double* x, const double* v, double* y,
                                    std::int32_t M, std::int32_t N, std::int32_t W,
                                    std::int32_t S);

#endif
