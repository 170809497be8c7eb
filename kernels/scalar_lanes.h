// One lane of doubles: the instruction set of targets without vectors, and of the rows
// that do not fill a vector on every other. Internal linkage, as in column_groups.h, so
// that each source compiles its own copy for its own target.
#ifndef ZORVAN_KERNELS_SCALAR_LANES_H
#define ZORVAN_KERNELS_SCALAR_LANES_H

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

// Masks are doubles with all bits set or clear, chosen between bitwise, so that no
// choice becomes a branch on the data.
struct Scalar {
    using V = double;
    static constexpr int kLanes = 1;

    static V all(double a) { return a; }
    static V add(V a, V b) { return a + b; }
    static V sub(V a, V b) { return a - b; }
    static V div(V a, V b) { return a / b; }
    static V max(V a, V b) { return a < b ? b : a; }  // never given a NaN
    static V choose(V mask, V a, V b) {
        const std::uint64_t m = bits(mask);
        return fromBits((m & bits(a)) | (~m & bits(b)));
    }
    // Set where the flag selects: != 0.0, NaN included.
    static V selecting(V flag) { return fromBits(flag != 0.0 ? ~std::uint64_t{0} : 0); }
    static V isZero(V a) { return fromBits(a == 0.0 ? ~std::uint64_t{0} : 0); }
    static V andBits(V a, V b) { return fromBits(bits(a) & bits(b)); }
    static V orBits(V a, V b) { return fromBits(bits(a) | bits(b)); }
    static bool any(V mask) { return bits(mask) != 0; }
    static double lane0(V a) { return a; }
    // carry + a, and carry becomes it.
    static V runningSum(V a, V& carry) { return carry = carry + a; }
    static void prefetch(const double* p) {
#if defined(__GNUC__) || defined(__clang__)
        __builtin_prefetch(p);
#else
        static_cast<void>(p);
#endif
    }

    static V load(const double* p) { return *p; }
    static void store(double* p, V a) { *p = a; }
    static V loadRow(const double* p, std::size_t /*stride*/) { return *p; }
    static void storeRow(double* p, std::size_t /*stride*/, V a) { *p = a; }
    static void loadTile(const double* p, std::size_t /*stride*/, V rows[1]) { rows[0] = *p; }
    static void storeTile(double* p, std::size_t /*stride*/, const V rows[1]) { *p = rows[0]; }

private:
    static std::uint64_t bits(double a) {
        std::uint64_t b;
        std::memcpy(&b, &a, sizeof b);
        return b;
    }
    static double fromBits(std::uint64_t b) {
        double a;
        std::memcpy(&a, &b, sizeof a);
        return a;
    }
};

}  // namespace

#endif
