// Two lanes of 128-bit vectors (NEON, which every AArch64 processor has): the
// instruction set of the 64-bit ARM path. Internal linkage, as in column_groups.h.
#ifndef ZORVAN_KERNELS_NEON_LANES_H
#define ZORVAN_KERNELS_NEON_LANES_H

#include "scalar_lanes.h"

#include <cstddef>
#include <cstdint>

#include <arm_neon.h>

namespace {

struct Neon {
    using V = float64x2_t;
    static constexpr int kLanes = 2;

    static V all(double a) { return vdupq_n_f64(a); }
    static V add(V a, V b) { return vaddq_f64(a, b); }
    static V sub(V a, V b) { return vsubq_f64(a, b); }
    static V div(V a, V b) { return vdivq_f64(a, b); }
    static V max(V a, V b) { return vmaxq_f64(a, b); }
    // Lanes of a where mask is set, of b elsewhere, bit for bit.
    static V choose(V mask, V a, V b) { return vbslq_f64(vreinterpretq_u64_f64(mask), a, b); }
    // Set where a flag != 0.0: not equal to zero, so NaN selects.
    static V selecting(V flags) {
        const uint64x2_t zero = vceqzq_f64(flags);
        return vreinterpretq_f64_u64(veorq_u64(zero, vdupq_n_u64(~std::uint64_t{0})));
    }
    static V isZero(V a) { return vreinterpretq_f64_u64(vceqzq_f64(a)); }
    static V andBits(V a, V b) {
        return vreinterpretq_f64_u64(vandq_u64(vreinterpretq_u64_f64(a), vreinterpretq_u64_f64(b)));
    }
    static V orBits(V a, V b) {
        return vreinterpretq_f64_u64(vorrq_u64(vreinterpretq_u64_f64(a), vreinterpretq_u64_f64(b)));
    }
    static bool any(V mask) { return vmaxvq_u32(vreinterpretq_u32_f64(mask)) != 0; }
    static double lane0(V a) { return vgetq_lane_f64(a, 0); }
    // carry + (a0, a0 + a1), and carry becomes its last lane in both.
    static V runningSum(V a, V& carry) {
        const V sums = vaddq_f64(vaddq_f64(a, vextq_f64(vdupq_n_f64(0.0), a, 1)), carry);
        carry = vdupq_laneq_f64(sums, 1);
        return sums;
    }
    static void prefetch(const double* p) { Scalar::prefetch(p); }

    static V load(const double* p) { return vld1q_f64(p); }
    static void store(double* p, V a) { vst1q_f64(p, a); }
    static V loadRow(const double* p, std::size_t stride) {
        return vcombine_f64(vld1_f64(p), vld1_f64(p + stride));
    }
    static void storeRow(double* p, std::size_t stride, V a) {
        vst1_f64(p, vget_low_f64(a));
        vst1_f64(p + stride, vget_high_f64(a));
    }
    // Rows 0 and 1 of two columns.
    static void loadTile(const double* p, std::size_t stride, V rows[2]) {
        const V column0 = vld1q_f64(p);
        const V column1 = vld1q_f64(p + stride);
        rows[0] = vzip1q_f64(column0, column1);
        rows[1] = vzip2q_f64(column0, column1);
    }
    static void storeTile(double* p, std::size_t stride, const V rows[2]) {
        vst1q_f64(p, vzip1q_f64(rows[0], rows[1]));
        vst1q_f64(p + stride, vzip2q_f64(rows[0], rows[1]));
    }
};

}  // namespace

#endif
