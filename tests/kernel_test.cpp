// The column kernels on their own: documented results, the window's definition as an
// oracle, and the bits that depend on the order of operations.
#include "moving_average.h"
#include "support/window_oracle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <sstream>
#include <vector>

namespace {

using Column = std::vector<double>;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

Column plain(const Column& x, int W, int S) {
    Column y(x.size(), -12345.0);
    movingAverageColumn(x.data(), y.data(), static_cast<std::int32_t>(x.size()), W, S);
    return y;
}

Column restricted(const Column& x, const Column& v, int W, int S) {
    Column y(x.size(), -12345.0);
    restrictedMovingAverageColumn(x.data(), v.data(), y.data(),
                                  static_cast<std::int32_t>(x.size()), W, S);
    return y;
}

std::string show(const Column& c) {
    std::ostringstream out;
    out.precision(17);
    for (double value : c) out << value << ' ';
    return out.str();
}

#define EXPECT_SAME(actual, expected)                                                 \
    EXPECT_TRUE(sameResults(actual, expected)) << "  actual: " << show(actual) << "\n" \
                                               << "expected: " << show(expected)

const Column kOneToSeven{1, 2, 3, 4, 5, 6, 7};

TEST(PlainKernel, DocumentedExamples) {
    EXPECT_SAME(plain(kOneToSeven, 3, 1), (Column{1.5, 2, 3, 4, 5, 6, 6.5}));
    EXPECT_SAME(plain(kOneToSeven, 3, 0), (Column{1, 1.5, 2, 3, 4, 5, 6}));
    EXPECT_SAME(plain(kOneToSeven, 10, 2), (Column{2, 2.5, 3, 3.5, 4, 4, 4}));
    EXPECT_SAME(plain(kOneToSeven, 3, 3), (Column{3, 4, 5, 6, 6.5, 7, kNaN}));
    EXPECT_SAME(plain(kOneToSeven, 3, -2), plain(kOneToSeven, 3, 0));
}

TEST(PlainKernel, NaNAndInfinityStayInTheRunningSum) {
    EXPECT_SAME(plain({1, kNaN, 3, 4, 5}, 2, 0), (Column{1, kNaN, kNaN, kNaN, kNaN}));
    EXPECT_SAME(plain({1, kInf, 3, 4, 5}, 2, 0), (Column{1, kInf, kInf, kNaN, kNaN}));
}

TEST(PlainKernel, EmptyWindowIsNaNNotAResidueOverZero) {
    // 0.1 + 0.2 + 0.3 - 0.1 - 0.2 - 0.3 leaves a rounding residue; the window of the
    // last row is empty all the same.
    const Column y = plain({0.1, 0.2, 0.3}, 3, 3);
    EXPECT_TRUE(std::isnan(y[2])) << show(y);
    EXPECT_TRUE(std::isfinite(y[0]) && std::isfinite(y[1])) << show(y);
}

TEST(PlainKernel, WindowOfOneReturnsFiniteInputWithNegativeZeroMadePositive) {
    const Column x{-0.0, 1e-300, -7.25, 1e300, 0.1, -0.0};
    const Column y = plain(x, 1, 0);
    EXPECT_SAME(y, (Column{0.0, 1e-300, -7.25, 1e300, 0.1, 0.0}));
    EXPECT_FALSE(std::signbit(y[0]));
}

TEST(PlainKernel, SubtractsTheLeavingRowBeforeAddingTheEnteringOne) {
    // 1e16 + 1 rounds back to 1e16, so every order of operations leaves other bits:
    // (sum - 1e16) + 1 gives 1, (sum + 1) - 1e16 gives 0, a fresh sum gives 2.
    EXPECT_SAME(plain({1e16, 1, 1, 1}, 2, 0), (Column{1e16, 5e15, 0.5, 0.5}));
}

TEST(PlainKernel, DividesRatherThanMultipliesByAReciprocal) {
    // 5 / 3 and 5 * (1 / 3) differ in the last bit.
    EXPECT_EQ(bitsOf(plain({5, 0, 0, 0}, 3, 0)[2]), bitsOf(5.0 / 3.0));
    EXPECT_NE(bitsOf(5.0 / 3.0), bitsOf(5.0 * (1.0 / 3.0)));
}

TEST(PlainKernel, WindowBelowOneHoldsNoRow) {
    const Column y = plain(kOneToSeven, 0, 0);
    for (double value : y) EXPECT_TRUE(std::isnan(value));
}

TEST(PlainKernel, WritesNothingForAnEmptyColumn) {
    double untouched = 42.0;
    movingAverageColumn(nullptr, &untouched, 0, 3, 0);
    EXPECT_EQ(untouched, 42.0);
}

TEST(RestrictedKernel, DocumentedExamples) {
    EXPECT_SAME(restricted(kOneToSeven, {1, 0, 1, 1, 0, 1, 1}, 3, 1),
                (Column{1, 2, 3.5, 3.5, 5, 6.5, 6.5}));
    EXPECT_SAME(restricted(kOneToSeven, {0, 1, 0, 1, 0, 0, 0}, 10, 2),
                (Column{2, 3, 3, 3, 3, 3, 3}));
    EXPECT_SAME(restricted(kOneToSeven, {kNaN, 0, -0.0, 1, 0, 0, 0}, 3, 0),
                (Column{1, 1, 1, 4, 4, 4, 7}));
    EXPECT_SAME(restricted({1, kNaN, 3, 4, 5, 6}, {1, 1, 1, 0, 0, 0}, 2, 0),
                (Column{1, kNaN, kNaN, kNaN, 5, 6}));
    // A window without selected rows in the tail passes the input through.
    const Column tail = restricted({0.1, 0.2, 0.3, 0.4, 0.5}, {1, 1, 1, 0, 0}, 3, 2);
    EXPECT_EQ(tail[3], 0.4);
    EXPECT_EQ(tail[4], 0.5);
}

TEST(RestrictedKernel, NothingSelectedPassesEveryCellThroughBitForBit) {
    const Column x{-0.0, payloadNaN(), 3.5, kInf, -1e-310, 6, 7};
    const Column none(x.size(), 0.0);
    for (int S = 0; S <= 7; ++S) EXPECT_TRUE(sameBits(restricted(x, none, 3, S), x)) << "S = " << S;
    EXPECT_TRUE(sameBits(restricted(x, none, 0, 0), x));
}

TEST(RestrictedKernel, UnselectedNaNIsNeverAdded) {
    EXPECT_SAME(restricted({1, kNaN, 3, 5}, {1, 0, 1, 1}, 2, 0), (Column{1, 1, 3, 4}));
}

TEST(RestrictedKernel, ShiftEqualToWindowPassesTheLastRowThrough) {
    const Column y = restricted(kOneToSeven, Column(7, 1.0), 3, 3);
    EXPECT_SAME(y, (Column{3, 4, 5, 6, 6.5, 7, 7}));
}

TEST(RestrictedKernel, AllSelectedEqualsPlainBitForBitWhileTheShiftIsBelowTheWindow) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-20, 20);
    for (int M : {1, 2, 5, 16, 40}) {
        Column x(static_cast<std::size_t>(M));
        for (double& value : x) value = std::ldexp(mantissa(random), exponent(random));
        const Column all(x.size(), 1.0);
        for (int W : {1, 2, 3, 7, 50}) {
            for (int S = 0; S < W && S <= M; ++S) {
                EXPECT_SAME(restricted(x, all, W, S), plain(x, W, S))
                    << "M = " << M << ", W = " << W << ", S = " << S;
            }
        }
    }
}

// With S > W the rows 0 .. S-W lie in no window: a NaN, an Inf or a huge value there
// must not reach any result through the running sum.
TEST(BothKernels, RowsAheadOfTheFirstWindowNeverEnterTheSum) {
    EXPECT_SAME(plain({kNaN, 1, 2, 3, 4, 5, 6}, 1, 3), (Column{3, 4, 5, 6, kNaN, kNaN, kNaN}));
    EXPECT_SAME(plain({1e16, 1, 1, 1, 1, 1, 1, 1}, 2, 3), (Column{1, 1, 1, 1, 1, 1, kNaN, kNaN}));
    EXPECT_SAME(restricted({kNaN, 1, 2, 3, 4}, Column(5, 1.0), 1, 2), (Column{2, 3, 4, 3, 4}));
    const Column flags{1, 0, kNaN, 1, -0.0, 1, 1, 0, 1, 1, 1, 0};
    for (double poison : {kNaN, kInf, -kInf, 1e16}) {
        for (int W : {1, 2, 3, 5}) {
            for (int S : {W + 1, W + 2, W + 6, 12}) {
                Column x{7, -3, 5, 1, 8, -2, 4, 4, 9, -6, 2, 3};
                for (int r = 0; r <= S - W && r < 12; ++r) x[static_cast<std::size_t>(r)] = poison;
                SCOPED_TRACE("poison " + std::to_string(poison) + ", W = " + std::to_string(W) +
                             ", S = " + std::to_string(S));
                EXPECT_SAME(plain(x, W, S), oracle::windowMeans(x, W, S));
                EXPECT_SAME(restricted(x, flags, W, S), oracle::windowMeans(x, W, S, &flags));
            }
        }
    }
}

// Every cell of both kernels against the window's definition, over shapes that reach
// each phase: windows longer than the column, S = W, S > W and negative shifts.
TEST(BothKernels, MatchTheWindowDefinitionOnIntegerData) {
    std::mt19937_64 random(2024);
    std::uniform_int_distribution<int> sample(-50, 50);
    const double flags[] = {0.0, -0.0, 1.0, kNaN, -3.0, 0.0};
    std::uniform_int_distribution<std::size_t> flag(0, std::size(flags) - 1);
    for (int M : {0, 1, 2, 3, 5, 8, 13, 21}) {
        Column x(static_cast<std::size_t>(M)), v(x.size());
        for (double& value : x) value = sample(random);
        for (double& value : v) value = flags[flag(random)];
        for (int W : {1, 2, 3, 4, 7, 10, 30}) {
            for (int S = -3; S <= M; ++S) {
                SCOPED_TRACE("M = " + std::to_string(M) + ", W = " + std::to_string(W) +
                             ", S = " + std::to_string(S));
                EXPECT_SAME(plain(x, W, S), oracle::windowMeans(x, W, S));
                EXPECT_SAME(restricted(x, v, W, S), oracle::windowMeans(x, W, S, &v));
            }
        }
    }
}

}  // namespace
