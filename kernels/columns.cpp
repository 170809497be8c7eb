// Whole blocks of columns: the widest path the processor has, the 128-bit one that
// every x86-64 processor has, and the column kernels for whatever is left over (and
// everywhere else).
#include "column_paths.h"
#include "moving_average.h"

#include <cstddef>
#include <limits>

#if defined(ZORVAN_AVX_PATH)
#include "columns_avx.h"
#endif

#if (defined(__x86_64__) || defined(_M_X64)) && !defined(_M_ARM64EC)
#define ZORVAN_SSE2_PATH 1
#include "column_groups.h"

#include <emmintrin.h>
#if defined(_MSC_VER) && !defined(__clang__)
#include <immintrin.h>
#include <intrin.h>
#endif
#endif

namespace {

#if defined(ZORVAN_SSE2_PATH)
struct Sse2 {
    using V = __m128d;
    static constexpr int kLanes = 2;

    static V all(double a) { return _mm_set1_pd(a); }
    static V add(V a, V b) { return _mm_add_pd(a, b); }
    static V sub(V a, V b) { return _mm_sub_pd(a, b); }
    static V div(V a, V b) { return _mm_div_pd(a, b); }
    // Lanes of a where mask is set, of b elsewhere, bit for bit.
    static V choose(V mask, V a, V b) { return _mm_or_pd(_mm_and_pd(mask, a), _mm_andnot_pd(mask, b)); }
    // Set where flag != 0.0 (NaN included: the comparison is unordered-or-unequal).
    static V selection(double flag) { return _mm_cmpneq_pd(_mm_set1_pd(flag), _mm_setzero_pd()); }
    static V isZero(V a) { return _mm_cmpeq_pd(a, _mm_setzero_pd()); }
    static void prefetch(const double* p) { _mm_prefetch(reinterpret_cast<const char*>(p), _MM_HINT_T0); }

    static V loadRow(const double* p, std::size_t stride) { return _mm_loadh_pd(_mm_load_sd(p), p + stride); }
    static void storeRow(double* p, std::size_t stride, V a) {
        _mm_storel_pd(p, a);
        _mm_storeh_pd(p + stride, a);
    }
    // Rows 0 and 1 of two columns.
    static void loadTile(const double* p, std::size_t stride, V rows[2]) {
        const V column0 = _mm_loadu_pd(p);
        const V column1 = _mm_loadu_pd(p + stride);
        rows[0] = _mm_unpacklo_pd(column0, column1);
        rows[1] = _mm_unpackhi_pd(column0, column1);
    }
    static void storeTile(double* p, std::size_t stride, const V rows[2]) {
        _mm_storeu_pd(p, _mm_unpacklo_pd(rows[0], rows[1]));
        _mm_storeu_pd(p + stride, _mm_unpackhi_pd(rows[0], rows[1]));
    }
};
#endif

#if defined(ZORVAN_AVX_PATH)
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

constexpr double kEmptyWindow = std::numeric_limits<double>::quiet_NaN();

std::size_t columnOffset(std::int32_t c, std::int32_t M) {
    return static_cast<std::size_t>(c) * static_cast<std::size_t>(M);
}

}  // namespace

bool columnPathAvailable(ColumnPath path) {
    switch (path) {
    case ColumnPath::columnAtATime:
        return true;
    case ColumnPath::sse2:
#if defined(ZORVAN_SSE2_PATH)
        return true;
#else
        return false;
#endif
    case ColumnPath::avx:
#if defined(ZORVAN_AVX_PATH) && defined(ZORVAN_SSE2_PATH)
        return processorHasAvx();
#else
        return false;
#endif
    }
    return false;
}

ColumnPath widestColumnPath() {
    if (columnPathAvailable(ColumnPath::avx)) return ColumnPath::avx;
    if (columnPathAvailable(ColumnPath::sse2)) return ColumnPath::sse2;
    return ColumnPath::columnAtATime;
}

namespace {

// Both averages (v is null for the plain one): whole groups on the path, then the
// column kernels for the columns left over.
void averageColumnsOn(ColumnPath path, const double* x, const double* v, double* y,
                      std::int32_t M, std::int32_t N, std::int32_t W, std::int32_t S) {
    std::int32_t next = 0;
    // Windows below one row are all empty: nothing to share between columns.
    if (M > 0 && W >= 1) {
        const std::int32_t shift = S < 0 ? 0 : S;
#if defined(ZORVAN_AVX_PATH) && defined(ZORVAN_SSE2_PATH)
        if (path == ColumnPath::avx) {
            next = v == nullptr ? movingAverageColumnsAvx(x, y, M, N, W, shift, kEmptyWindow)
                                : restrictedMovingAverageColumnsAvx(x, v, y, M, N, W, shift);
        }
#endif
#if defined(ZORVAN_SSE2_PATH)
        if (path != ColumnPath::columnAtATime) {
            next = averageGroups<Sse2, 2>(x, v, y, M, N, W, shift, kEmptyWindow, next);
            next = averageGroups<Sse2, 1>(x, v, y, M, N, W, shift, kEmptyWindow, next);
        }
#endif
        static_cast<void>(shift);
    }
    static_cast<void>(path);
    for (; next < N; ++next) {
        const std::size_t offset = columnOffset(next, M);
        if (v == nullptr) {
            movingAverageColumn(x + offset, y + offset, M, W, S);
        } else {
            restrictedMovingAverageColumn(x + offset, v, y + offset, M, W, S);
        }
    }
}

}  // namespace

void movingAverageColumnsOn(ColumnPath path, const double* x, double* y, std::int32_t M,
                            std::int32_t N, std::int32_t W, std::int32_t S) {
    averageColumnsOn(path, x, nullptr, y, M, N, W, S);
}

void restrictedMovingAverageColumnsOn(ColumnPath path, const double* x, const double* v,
                                      double* y, std::int32_t M, std::int32_t N,
                                      std::int32_t W, std::int32_t S) {
    averageColumnsOn(path, x, v, y, M, N, W, S);
}

void movingAverageColumns(const double* x, double* y, std::int32_t M, std::int32_t N,
                          std::int32_t W, std::int32_t S) {
    movingAverageColumnsOn(widestColumnPath(), x, y, M, N, W, S);
}

void restrictedMovingAverageColumns(const double* x, const double* v, double* y,
                                    std::int32_t M, std::int32_t N, std::int32_t W,
                                    std::int32_t S) {
    restrictedMovingAverageColumnsOn(widestColumnPath(), x, v, y, M, N, W, S);
}
