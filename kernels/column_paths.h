// The ways the multi-column averages can run, for tests and benchmarks that compare
// them. movingAverageColumns and restrictedMovingAverageColumns pick the widest path
// the processor has; these entries take the path as an argument instead.
#ifndef ZORVAN_KERNELS_COLUMN_PATHS_H
#define ZORVAN_KERNELS_COLUMN_PATHS_H

#include <cstdint>

enum class ColumnPath {
    columnAtATime,  // the column kernels, one column after the other
    sse2,           // groups of 2 and 4 columns in 128-bit vectors (every x86-64)
    avx,            // groups of 4 and 8 columns in 256-bit vectors, then as sse2
};

// Whether this build and this processor can run the path.
bool columnPathAvailable(ColumnPath path);

// The widest available path.
ColumnPath widestColumnPath();

// As movingAverageColumns and restrictedMovingAverageColumns, on the given path, which
// must be available.
void movingAverageColumnsOn(ColumnPath path, const double* x, double* y, std::int32_t M,
                            std::int32_t N, std::int32_t W, std::int32_t S);
void restrictedMovingAverageColumnsOn(ColumnPath path, const double* x, const double* v,
                                      double* y, std::int32_t M, std::int32_t N,
                                      std::int32_t W, std::int32_t S);

#endif
