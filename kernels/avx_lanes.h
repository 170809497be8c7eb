// Four lanes of 256-bit vectors (AVX): the instruction set of the AVX path's widest
// groups and of its lone columns. Only for a source compiled for AVX; internal linkage,
// as in column_groups.h.
#ifndef ZORVAN_KERNELS_AVX_LANES_H
#define ZORVAN_KERNELS_AVX_LANES_H

#include <cstddef>

#include <immintrin.h>

namespace {

struct Avx {
    using V = __m256d;
    static constexpr int kLanes = 4;

    static V all(double a) { return _mm256_set1_pd(a); }
    static V add(V a, V b) { return _mm256_add_pd(a, b); }
    static V sub(V a, V b) { return _mm256_sub_pd(a, b); }
    static V div(V a, V b) { return _mm256_div_pd(a, b); }
    static V max(V a, V b) { return _mm256_max_pd(a, b); }
    // Lanes of a where mask is set, of b elsewhere, bit for bit.
    static V choose(V mask, V a, V b) {
        return _mm256_or_pd(_mm256_and_pd(mask, a), _mm256_andnot_pd(mask, b));
    }
    // Set where a flag != 0.0 (NaN included).
    static V selecting(V flags) { return _mm256_cmp_pd(flags, _mm256_setzero_pd(), _CMP_NEQ_UQ); }
    static V isZero(V a) { return _mm256_cmp_pd(a, _mm256_setzero_pd(), _CMP_EQ_OQ); }
    static V andBits(V a, V b) { return _mm256_and_pd(a, b); }
    static V orBits(V a, V b) { return _mm256_or_pd(a, b); }
    static bool any(V mask) { return _mm256_movemask_pd(mask) != 0; }
    static double lane0(V a) { return _mm256_cvtsd_f64(a); }
    // carry + the running sums of a's lanes, and carry becomes the last of them in all.
    static V runningSum(V a, V& carry) {
        // (0, a0, a1, a2), then (0, 0, b0, b1) of b = a + that.
        const V up1 = _mm256_shuffle_pd(_mm256_permute2f128_pd(a, a, 0x08), a, 0x5);
        const V b = _mm256_add_pd(a, up1);
        const V sums = _mm256_add_pd(_mm256_add_pd(b, _mm256_permute2f128_pd(b, b, 0x08)), carry);
        carry = _mm256_permute_pd(_mm256_permute2f128_pd(sums, sums, 0x11), 0xF);
        return sums;
    }
    static void prefetch(const double* p) {
        _mm_prefetch(reinterpret_cast<const char*>(p), _MM_HINT_T0);
    }

    static V load(const double* p) { return _mm256_loadu_pd(p); }
    static void store(double* p, V a) { _mm256_storeu_pd(p, a); }
    // p[0], p[stride], p[2 stride], p[3 stride]: one row of four columns.
    static V loadRow(const double* p, std::size_t stride) {
        const __m128d low = _mm_loadh_pd(_mm_load_sd(p), p + stride);
        const __m128d high = _mm_loadh_pd(_mm_load_sd(p + 2 * stride), p + 3 * stride);
        return _mm256_insertf128_pd(_mm256_castpd128_pd256(low), high, 1);
    }
    static void storeRow(double* p, std::size_t stride, V a) {
        const __m128d low = _mm256_castpd256_pd128(a);
        const __m128d high = _mm256_extractf128_pd(a, 1);
        _mm_storel_pd(p, low);
        _mm_storeh_pd(p + stride, low);
        _mm_storel_pd(p + 2 * stride, high);
        _mm_storeh_pd(p + 3 * stride, high);
    }

    // Rows r = 0..3 of four columns: rows[r] holds p[r], p[stride + r], ...
    static void loadTile(const double* p, std::size_t stride, V rows[4]) {
        const double* p1 = p + stride;
        const double* p2 = p1 + stride;
        const double* p3 = p2 + stride;
        // Columns 0 and 2 in one vector, 1 and 3 in another, two rows at a time.
        const V c02 = loadHalves(p, p2), c13 = loadHalves(p1, p3);
        const V d02 = loadHalves(p + 2, p2 + 2), d13 = loadHalves(p1 + 2, p3 + 2);
        rows[0] = _mm256_unpacklo_pd(c02, c13);
        rows[1] = _mm256_unpackhi_pd(c02, c13);
        rows[2] = _mm256_unpacklo_pd(d02, d13);
        rows[3] = _mm256_unpackhi_pd(d02, d13);
    }
    // Two doubles at low, then two at high.
    static V loadHalves(const double* low, const double* high) {
        const __m256d wide = _mm256_castpd128_pd256(_mm_loadu_pd(low));
        return _mm256_insertf128_pd(wide, _mm_loadu_pd(high), 1);
    }
    static void storeTile(double* p, std::size_t stride, const V rows[4]) {
        // Rows 0, 1 give columns (0, 2) and (1, 3) two rows deep; rows 2, 3 the next two.
        const V c02 = _mm256_unpacklo_pd(rows[0], rows[1]);
        const V c13 = _mm256_unpackhi_pd(rows[0], rows[1]);
        const V d02 = _mm256_unpacklo_pd(rows[2], rows[3]);
        const V d13 = _mm256_unpackhi_pd(rows[2], rows[3]);
        double* p1 = p + stride;
        double* p2 = p1 + stride;
        double* p3 = p2 + stride;
        _mm256_storeu_pd(p, _mm256_permute2f128_pd(c02, d02, 0x20));
        _mm256_storeu_pd(p1, _mm256_permute2f128_pd(c13, d13, 0x20));
        _mm256_storeu_pd(p2, _mm256_permute2f128_pd(c02, d02, 0x31));
        _mm256_storeu_pd(p3, _mm256_permute2f128_pd(c13, d13, 0x31));
    }
};

}  // namespace

#endif
