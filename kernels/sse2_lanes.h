// Two lanes of 128-bit vectors (SSE2, which every x86-64 processor has): the instruction
// set of the 128-bit path, and of the AVX path's narrower groups. Internal linkage, as in
// column_groups.h, so that each source compiles its own copy for its own target.
#ifndef ZORVAN_KERNELS_SSE2_LANES_H
#define ZORVAN_KERNELS_SSE2_LANES_H

#include <cstddef>

#include <emmintrin.h>

namespace {

struct Sse2 {
    using V = __m128d;
    static constexpr int kLanes = 2;

    static V all(double a) { return _mm_set1_pd(a); }
    static V add(V a, V b) { return _mm_add_pd(a, b); }
    static V sub(V a, V b) { return _mm_sub_pd(a, b); }
    static V div(V a, V b) { return _mm_div_pd(a, b); }
    static V max(V a, V b) { return _mm_max_pd(a, b); }
    // Lanes of a where mask is set, of b elsewhere, bit for bit.
    static V choose(V mask, V a, V b) {
        return _mm_or_pd(_mm_and_pd(mask, a), _mm_andnot_pd(mask, b));
    }
    // Set where a flag != 0.0 (NaN included: the comparison is unordered-or-unequal).
    static V selecting(V flags) { return _mm_cmpneq_pd(flags, _mm_setzero_pd()); }
    static V isZero(V a) { return _mm_cmpeq_pd(a, _mm_setzero_pd()); }
    static V andBits(V a, V b) { return _mm_and_pd(a, b); }
    static V orBits(V a, V b) { return _mm_or_pd(a, b); }
    static bool any(V mask) { return _mm_movemask_pd(mask) != 0; }
    static double lane0(V a) { return _mm_cvtsd_f64(a); }
    // carry + (a0, a0 + a1), and carry becomes its last lane in both.
    static V runningSum(V a, V& carry) {
        const V sums = _mm_add_pd(_mm_add_pd(a, _mm_unpacklo_pd(_mm_setzero_pd(), a)), carry);
        carry = _mm_unpackhi_pd(sums, sums);
        return sums;
    }
    static void prefetch(const double* p) {
        _mm_prefetch(reinterpret_cast<const char*>(p), _MM_HINT_T0);
    }

    static V load(const double* p) { return _mm_loadu_pd(p); }
    static void store(double* p, V a) { _mm_storeu_pd(p, a); }
    static V loadRow(const double* p, std::size_t stride) {
        return _mm_loadh_pd(_mm_load_sd(p), p + stride);
    }
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

}  // namespace

#endif
