// The window's definition, computed the slow and obvious way: the mean of rows
// lo..hi (cut at the column's ends), restricted to the selected rows when a
// selection is given. On integer-valued data every sum is exact, so the one
// rounding is the final division and the kernels must match it bit for bit.
#ifndef ZORVAN_TESTS_WINDOW_ORACLE_H
#define ZORVAN_TESTS_WINDOW_ORACLE_H

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace oracle {

inline std::vector<double> windowMeans(const std::vector<double>& x, int W, int S,
                                       const std::vector<double>* selection = nullptr) {
    const int M = static_cast<int>(x.size());
    S = std::max(S, 0);  // a negative shift acts as none
    std::vector<double> y(x.size());
    for (int j = 0; j < M; ++j) {
        const long lo = std::max(0L, static_cast<long>(j) + S - W + 1);
        const long hi = std::min(static_cast<long>(M) - 1, static_cast<long>(j) + S);
        double sum = 0.0;
        int count = 0;
        for (long r = lo; r <= hi; ++r) {
            if (selection != nullptr && !((*selection)[static_cast<std::size_t>(r)] != 0.0)) continue;
            sum += x[static_cast<std::size_t>(r)];
            ++count;
        }
        const std::size_t out = static_cast<std::size_t>(j);
        if (count > 0) {
            y[out] = sum / count;
        } else {
            y[out] = selection != nullptr ? x[out] : std::numeric_limits<double>::quiet_NaN();
        }
    }
    return y;
}

}  // namespace oracle

// Bit-for-bit equality, so that -0.0 differs from +0.0 and NaN payloads count.
inline std::uint64_t bitsOf(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

inline bool sameBits(const std::vector<double>& a, const std::vector<double>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (bitsOf(a[i]) != bitsOf(b[i])) return false;
    }
    return true;
}

// The index of the first cell whose bits differ, or -1 (also -1 only for equal sizes).
// A NaN made by arithmetic matches any NaN: which operand's payload an addition of two
// NaNs keeps is the compiler's choice of operand order, and its sign the processor's.
// Every other value, -0.0 included, must match bit for bit.
inline long firstDifference(const std::vector<double>& a, const std::vector<double>& b) {
    if (a.size() != b.size()) return static_cast<long>(a.size() < b.size() ? a.size() : b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        const bool bothNaN = a[i] != a[i] && b[i] != b[i];
        if (!bothNaN && bitsOf(a[i]) != bitsOf(b[i])) return static_cast<long>(i);
    }
    return -1;
}

// Equal bits but for NaNs made by arithmetic, as firstDifference. Passed-through values
// are compared with sameBits instead.
inline bool sameResults(const std::vector<double>& a, const std::vector<double>& b) {
    return firstDifference(a, b) == -1;
}

// A quiet NaN with a payload of its own, which a value passed through must keep.
inline double payloadNaN() {
    const std::uint64_t bits = 0x7ff8000000c0ffeeULL;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

#endif
