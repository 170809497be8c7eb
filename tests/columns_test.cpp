// The multi-column averages against the column kernels, bit for bit, on every path
// this processor can run: groups of columns must give each column exactly the results
// it gets on its own, whatever the group size, the leftover columns, the phases and
// the tiles that split them.
#include "column_paths.h"
#include "columns.h"
#include "moving_average.h"
#include "support/window_oracle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

using Block = std::vector<double>;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

std::vector<ColumnPath> availablePaths() {
    std::vector<ColumnPath> paths;
    for (const ColumnPath& path : columnPaths()) {
        if (path.available()) paths.push_back(path);
    }
    return paths;
}

std::string nameOf(const ColumnPath& path) { return path.name; }

// The reference: the last row of the path table, the column kernels one column after
// the other.
const ColumnPath& columnKernels() { return *(columnPaths().end() - 1); }

Block together(const ColumnPath& path, const Block& x, int M, int N, int W, int S) {
    Block y(x.size(), -12345.0);
    path.plain(x.data(), y.data(), M, N, W, S);
    return y;
}

Block restrictedTogether(const ColumnPath& path, const Block& x, const Block& v, int M, int N, int W,
                         int S) {
    Block y(x.size(), -12345.0);
    path.restricted(x.data(), v.data(), y.data(), M, N, W, S);
    return y;
}

// Mixed magnitudes, so that any other order of operations gives other bits, with NaN,
// the infinities and both zeros sprinkled in.
Block awkwardData(std::size_t size, std::mt19937_64& random) {
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-30, 30);
    std::uniform_int_distribution<int> kind(0, 39);
    Block x(size);
    for (double& value : x) {
        switch (kind(random)) {
        case 0: value = kNaN; break;
        case 1: value = kInf; break;
        case 2: value = -kInf; break;
        case 3: value = -0.0; break;
        case 4: value = 0.0; break;
        default: value = std::ldexp(mantissa(random), exponent(random));
        }
    }
    return x;
}

// About one row in `every` selected, the rest not: most tiles then hold no selected row.
// Every kind of flag: -0.0 does not select, NaN and negative numbers do.
Block sparseSelection(std::size_t size, std::size_t every, std::mt19937_64& random) {
    const double selecting[] = {1.0, kNaN, -3.0}, notSelecting[] = {0.0, -0.0};
    std::uniform_int_distribution<std::size_t> pick(0, every - 1), kind(0, 5);
    Block v(size, 0.0);
    for (double& value : v) value = pick(random) == 0 ? selecting[kind(random) % 3] : notSelecting[kind(random) % 2];
    return v;
}

// Stretches of 192 rows by turns at either side of the density rule (one row in 16), so
// that the walks hand over there: 2 rows in 32 selected, then 3 (a selection block); 4
// in 64, then 5 (a lone column's block); none, then all. It starts sparse, so the first
// block hands over too, and where a column's length cuts a stretch the last one does.
Block densityStretches(std::size_t size) {
    const std::size_t selected[] = {2, 3, 4, 5, 0, 64}, outOf[] = {32, 32, 64, 64, 64, 64};
    Block v(size, 0.0);
    for (std::size_t r = 0; r < size; ++r) {
        const std::size_t k = r / 192 % std::size(selected);
        v[r] = r % outOf[k] < selected[k] ? 1.0 : 0.0;
    }
    return v;
}

Block someSelection(std::size_t size, std::mt19937_64& random) {
    const double flags[] = {0.0, -0.0, 1.0, kNaN, -3.0, 0.0, 1.0};
    std::uniform_int_distribution<std::size_t> flag(0, std::size(flags) - 1);
    Block v(size);
    for (double& value : v) value = flags[flag(random)];
    return v;
}

// The shapes cover every group size and leftover (N = 15 is 8 + 4 + 2 + 1 columns),
// tiles cut by every phase, windows longer than the column, S = W, S > W, S > M, negative
// S, windows of no row and columns of none.
TEST(Columns, EveryPathMatchesTheColumnKernelsBitForBit) {
    std::mt19937_64 random(11);
    for (const ColumnPath& path : availablePaths()) {
        for (int M : {0, 1, 2, 3, 5, 8, 9, 16, 37}) {
            for (int N : {1, 2, 3, 5, 8, 15}) {
                const std::size_t size = static_cast<std::size_t>(M) * static_cast<std::size_t>(N);
                const Block x = awkwardData(size, random);
                const Block v = someSelection(static_cast<std::size_t>(M), random);
                const Block all(static_cast<std::size_t>(M), 1.0);
                for (int W : {-1, 0, 1, 2, 3, 4, 5, 9, 40}) {
                    std::vector<int> shifts{-2, -1, M, M + 3};
                    for (int S = 0; S <= M && S <= W + 2; ++S) shifts.push_back(S);
                    for (int S : shifts) {
                        SCOPED_TRACE(nameOf(path) + ": M = " + std::to_string(M) + ", N = " +
                                     std::to_string(N) + ", W = " + std::to_string(W) +
                                     ", S = " + std::to_string(S));
                        EXPECT_EQ(firstDifference(together(path, x, M, N, W, S),
                                                  together(columnKernels(), x, M, N, W, S)), -1);
                        EXPECT_EQ(firstDifference(restrictedTogether(path, x, v, M, N, W, S),
                                                  restrictedTogether(columnKernels(), x, v, M, N, W, S)), -1);
                        EXPECT_EQ(firstDifference(restrictedTogether(path, x, all, M, N, W, S),
                                                  restrictedTogether(columnKernels(), x, all, M, N, W, S)), -1);
                    }
                }
            }
        }
    }
}

// Long columns, also with M = 1024 and 1028, whose column strides make the second chain
// of a group run behind the first (by 128 rows, and by 112 or 120: spans then start and
// end at other rows for each chain; the restricted average's on AVX only); 37 columns
// make four groups of 8 side by side, a group of 4 and a lone column.
TEST(Columns, LongColumnsMatchTheColumnKernelsBitForBit) {
    std::mt19937_64 random(12);
    for (int M : {1003, 1024, 1028}) {
        const int N = 37;
        const Block x = awkwardData(static_cast<std::size_t>(M) * N, random);
        // Mixed flags; one row in a hundred; stretches of 256 rows of each by turns (where
        // a lone column changes how it walks); a single row (every other window empty);
        // stretches at either side of the density rules.
        const Block mixed = someSelection(static_cast<std::size_t>(M), random);
        const Block sparse = sparseSelection(static_cast<std::size_t>(M), 100, random);
        Block stretches = mixed, lone(static_cast<std::size_t>(M), 0.0);
        for (std::size_t j = 0; j < stretches.size(); ++j) {
            if (j / 256 % 2 == 1) stretches[j] = sparse[j];
        }
        lone[static_cast<std::size_t>(M) / 2] = 1.0;
        const Block selections[] = {mixed, sparse, stretches, lone,
                                    densityStretches(static_cast<std::size_t>(M))};
        for (const ColumnPath& path : availablePaths()) {
            for (int W : {3, 21, 1001, 1500}) {
                for (int S : {0, W / 2, W, M}) {
                    if (S > M) continue;
                    SCOPED_TRACE(nameOf(path) + ": M = " + std::to_string(M) + ", W = " +
                                 std::to_string(W) + ", S = " + std::to_string(S));
                    EXPECT_EQ(firstDifference(together(path, x, M, N, W, S),
                                              together(columnKernels(), x, M, N, W, S)), -1);
                    for (const Block& v : selections) {
                        EXPECT_EQ(firstDifference(restrictedTogether(path, x, v, M, N, W, S),
                                                  restrictedTogether(columnKernels(), x, v, M, N, W, S)),
                                  -1);
                    }
                }
            }
        }
    }
}

// A block beyond the caches (8 MiB) with a window longer than 512 rows, where the plain
// average's wide path runs single chains only and the restricted one a group at a time,
// in single chains too under a sparse selection (with a short window as well, whose
// windows often select nothing). Too slow a call for the fuzzer, which reaches single
// chains only as leftover columns.
TEST(Columns, BlocksBeyondTheCachesMatchTheColumnKernelsBitForBit) {
    std::mt19937_64 random(14);
    const int M = 2050, N = 520;  // 520 = 8 * 65, so no leftover column
    const Block x = awkwardData(static_cast<std::size_t>(M) * N, random);
    const Block expected = together(columnKernels(), x, M, N, 1001, 500);
    for (const ColumnPath& path : availablePaths()) {
        SCOPED_TRACE(nameOf(path));
        EXPECT_EQ(firstDifference(together(path, x, M, N, 1001, 500), expected), -1);
    }
    const Block selections[] = {someSelection(static_cast<std::size_t>(M), random),
                                sparseSelection(static_cast<std::size_t>(M), 100, random)};
    for (const Block& v : selections) {
        for (int W : {1001, 21}) {
            const Block restrictedExpected = restrictedTogether(columnKernels(), x, v, M, N, W, W / 2);
            for (const ColumnPath& path : availablePaths()) {
                SCOPED_TRACE(nameOf(path) + ": W = " + std::to_string(W));
                EXPECT_EQ(firstDifference(restrictedTogether(path, x, v, M, N, W, W / 2), restrictedExpected), -1);
            }
        }
    }
}

// An unselected row must leave a running sum as it is: multiplying its sample by a 0
// flag, or adding 0 * sample, would let its NaN or Inf into the sum. Half the columns
// hold -0.0 in every selected row; windows without a selected row (W = 2) pass their
// own input through, a NaN's payload included. One column, and fifteen (groups of every
// width and a column left over).
TEST(Columns, UnselectedRowsLeaveTheRunningSumsAlone) {
    const double poison[] = {payloadNaN(), kInf, -kInf};
    const int M = 150;
    for (int N : {1, 15}) {
        Block x(static_cast<std::size_t>(M) * static_cast<std::size_t>(N));
        Block v(static_cast<std::size_t>(M));
        for (int r = 0; r < M; ++r) {
            const bool selected = r % 3 == 0;
            v[static_cast<std::size_t>(r)] = selected ? 1.0 : 0.0;
            for (int c = 0; c < N; ++c) {
                const double sample = c % 2 == 1 ? -0.0 : r + c;
                x[static_cast<std::size_t>(c * M + r)] = selected ? sample : poison[(r + c) % 3];
            }
        }
        for (const ColumnPath& path : availablePaths()) {
            for (int W : {2, 3, 4, 7}) {
                for (int S : {0, 1, W}) {
                    SCOPED_TRACE(nameOf(path) + ": N = " + std::to_string(N) + ", W = " +
                                 std::to_string(W) + ", S = " + std::to_string(S));
                    const Block y = restrictedTogether(path, x, v, M, N, W, S);
                    for (int c = 0; c < N; ++c) {
                        const auto first = x.begin() + c * M;
                        const Block column(first, first + M);
                        const Block expected = oracle::windowMeans(column, W, S, &v);
                        EXPECT_TRUE(sameBits(Block(y.begin() + c * M, y.begin() + (c + 1) * M),
                                             expected)) << "column " << c;
                    }
                }
            }
        }
    }
}

// With S > W the rows 0 .. S-W lie in no window, so the NaN, Inf or 1e16 planted there
// must reach no result; integer data elsewhere, so every mean is exact.
TEST(Columns, RowsAheadOfTheFirstWindowNeverEnterOnAnyPath) {
    const double poison[] = {kNaN, kInf, 1e16};
    const int M = 40;
    std::mt19937_64 random(15);
    std::uniform_int_distribution<int> sample(-50, 50);
    const Block v = someSelection(static_cast<std::size_t>(M), random);
    for (int N : {1, 15}) {
        for (int W : {1, 3, 8}) {
            for (int S : {W + 1, W + 9, M}) {
                Block x(static_cast<std::size_t>(M) * static_cast<std::size_t>(N));
                for (std::size_t i = 0; i < x.size(); ++i) {
                    const int row = static_cast<int>(i % M);
                    x[i] = row <= S - W ? poison[(i / M) % 3] : sample(random);
                }
                for (const ColumnPath& path : availablePaths()) {
                    SCOPED_TRACE(nameOf(path) + ": N = " + std::to_string(N) + ", W = " +
                                 std::to_string(W) + ", S = " + std::to_string(S));
                    const Block y = together(path, x, M, N, W, S);
                    const Block yr = restrictedTogether(path, x, v, M, N, W, S);
                    for (int c = 0; c < N; ++c) {
                        const Block column(x.begin() + c * M, x.begin() + (c + 1) * M);
                        EXPECT_TRUE(sameResults(Block(y.begin() + c * M, y.begin() + (c + 1) * M),
                                                oracle::windowMeans(column, W, S)));
                        EXPECT_TRUE(sameResults(Block(yr.begin() + c * M, yr.begin() + (c + 1) * M),
                                                oracle::windowMeans(column, W, S, &v)));
                    }
                }
            }
        }
    }
}

// Where a window selects nothing the input passes through bit for bit, NaN payloads too.
TEST(Columns, NothingSelectedPassesEveryCellThrough) {
    const double payload = payloadNaN();
    std::mt19937_64 random(13);
    const int M = 23, N = 15;
    Block x = awkwardData(static_cast<std::size_t>(M) * N, random);
    x[7] = payload;
    x[5 * M + 20] = payload;
    const Block none(static_cast<std::size_t>(M), 0.0);
    for (const ColumnPath& path : availablePaths()) {
        for (int S : {0, 2, 5, M}) {
            SCOPED_TRACE(nameOf(path) + ": S = " + std::to_string(S));
            EXPECT_TRUE(sameBits(restrictedTogether(path, x, none, M, N, 5, S), x));
        }
    }
}

// The multi-column entries on their own: the documented example in many columns.
TEST(Columns, PublicEntriesAverageEveryColumn) {
    const int M = 7, N = 9;
    Block x, v{1, 0, 1, 1, 0, 1, 1};
    for (int c = 0; c < N; ++c) {
        for (int r = 1; r <= M; ++r) x.push_back(r + 10.0 * c);
    }
    Block y(x.size()), yr(x.size());
    movingAverageColumns(x.data(), y.data(), M, N, 3, 1);
    restrictedMovingAverageColumns(x.data(), v.data(), yr.data(), M, N, 3, 1);
    const double plain[] = {1.5, 2, 3, 4, 5, 6, 6.5};
    const double selected[] = {1, 2, 3.5, 3.5, 5, 6.5, 6.5};
    for (int c = 0; c < N; ++c) {
        for (int r = 0; r < M; ++r) {
            const std::size_t i = static_cast<std::size_t>(c * M + r);
            EXPECT_EQ(y[i], plain[r] + 10.0 * c);
            EXPECT_EQ(yr[i], selected[r] + 10.0 * c);
        }
    }
}

}  // namespace
