// Picks the path: the table of every way this build can average many columns, and the
// calls that go through it. Each path lives in a source of its own (columns_*.cpp).
#include "column_paths.h"
#include "columns.h"
#include "moving_average.h"
#include "target.h"

#include <cstddef>

#if defined(_MSC_VER) && !defined(__clang__) && defined(ZORVAN_X86_64)
#include <immintrin.h>
#include <intrin.h>
#endif

// The entry points of each path's source.
#if defined(ZORVAN_X86_64)
PlainColumnsEntry movingAverageColumnsAvx;
RestrictedColumnsEntry restrictedMovingAverageColumnsAvx;
PlainColumnsEntry movingAverageColumnsSse2;
RestrictedColumnsEntry restrictedMovingAverageColumnsSse2;
#endif
#if defined(ZORVAN_AARCH64)
PlainColumnsEntry movingAverageColumnsNeon;
RestrictedColumnsEntry restrictedMovingAverageColumnsNeon;
#endif
PlainColumnsEntry movingAverageColumnsScalar;
RestrictedColumnsEntry restrictedMovingAverageColumnsScalar;

namespace {

std::size_t columnOffset(std::int32_t c, std::int32_t M) {
    return static_cast<std::size_t>(c) * static_cast<std::size_t>(M);
}

// The reference: the column kernels, one column after the other.
void movingAverageColumnByColumn(const double* x, double* y, std::int32_t M, std::int32_t N,
                                 std::int32_t W, std::int32_t S) {
    for (std::int32_t c = 0; c < N; ++c) {
        movingAverageColumn(x + columnOffset(c, M), y + columnOffset(c, M), M, W, S);
    }
}

void restrictedMovingAverageColumnByColumn(const double* x, const double* v, double* y,
                                           std::int32_t M, std::int32_t N, std::int32_t W,
                                           std::int32_t S) {
    for (std::int32_t c = 0; c < N; ++c) {
        restrictedMovingAverageColumn(x + columnOffset(c, M), v, y + columnOffset(c, M), M, W, S);
    }
}

bool always() { return true; }

#if defined(ZORVAN_X86_64)
// AVX and the operating system saving the 256-bit registers.
bool processorHasAvx() {
#if defined(_MSC_VER) && !defined(__clang__)
    static const bool hasAvx = [] {
        int registers[4];
        __cpuid(registers, 1);
        const bool osSaves = (registers[2] & (1 << 27)) != 0;
        const bool avx = (registers[2] & (1 << 28)) != 0;
        return osSaves && avx && (_xgetbv(0) & 6) == 6;
    }();
    return hasAvx;
#else
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx") != 0;
#endif
}
#endif

// Fastest first; a path is one source and one row here.
constexpr ColumnPath kPaths[] = {
#if defined(ZORVAN_X86_64)
    {"avx", processorHasAvx, movingAverageColumnsAvx, restrictedMovingAverageColumnsAvx},
    {"sse2", always, movingAverageColumnsSse2, restrictedMovingAverageColumnsSse2},
#endif
#if defined(ZORVAN_AARCH64)
    {"neon", always, movingAverageColumnsNeon, restrictedMovingAverageColumnsNeon},
#endif
    {"scalar", always, movingAverageColumnsScalar, restrictedMovingAverageColumnsScalar},
    {"column", always, movingAverageColumnByColumn, restrictedMovingAverageColumnByColumn},
};

}  // namespace

ColumnPaths columnPaths() { return {kPaths, sizeof kPaths / sizeof kPaths[0]}; }

const ColumnPath& fastestColumnPath() {
    for (const ColumnPath& path : columnPaths()) {
        if (path.available()) return path;
    }
    return kPaths[0];  // not reached: the last path is always available
}

void movingAverageColumns(const double* x, double* y, std::int32_t M, std::int32_t N,
                          std::int32_t W, std::int32_t S) {
    fastestColumnPath().plain(x, y, M, N, W, S);
}

void restrictedMovingAverageColumns(const double* x, const double* v, double* y,
                                    std::int32_t M, std::int32_t N, std::int32_t W,
                                    std::int32_t S) {
    fastestColumnPath().restricted(x, v, y, M, N, W, S);
}
