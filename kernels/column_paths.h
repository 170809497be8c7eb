// The ways the multi-column averages can run, listed once: dispatch, tests, fuzzers and
// benchmarks all go through columnPaths(). movingAverageColumns and
// restrictedMovingAverageColumns take the first path the processor can run.
#ifndef ZORVAN_KERNELS_COLUMN_PATHS_H
#define ZORVAN_KERNELS_COLUMN_PATHS_H

#include <cstddef>
#include <cstdint>

// A path's two entry points, as movingAverageColumns and restrictedMovingAverageColumns
// (any M, W and S), to be called only where the path is available.
using PlainColumnsEntry = void(const double* x, double* y, std::int32_t M, std::int32_t N,
                               std::int32_t W, std::int32_t S);
using RestrictedColumnsEntry = void(const double* x, const double* v, double* y, std::int32_t M,
                                    std::int32_t N, std::int32_t W, std::int32_t S);

struct ColumnPath {
    const char* name;
    bool (*available)();  // whether this build and this processor can run it
    PlainColumnsEntry* plain;
    RestrictedColumnsEntry* restricted;
};

struct ColumnPaths {
    const ColumnPath* first;
    std::size_t count;
    const ColumnPath* begin() const { return first; }
    const ColumnPath* end() const { return first + count; }
};

// Every path of this build, the fastest first. The last is the column kernels applied
// one column after the other: the reference the others are compared with.
ColumnPaths columnPaths();

// The first available path.
const ColumnPath& fastestColumnPath();

#endif
