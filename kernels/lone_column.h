// One column alone (see column_groups.h): its running sum is one scalar chain, and the
// rest runs in vectors of consecutive rows, block by block, off the chain.
#ifndef ZORVAN_KERNELS_LONE_COLUMN_H
#define ZORVAN_KERNELS_LONE_COLUMN_H

#include "column_phases.h"
#include "engine_tuning.h"
#include "scalar_lanes.h"
#include "selection.h"

#include <cstdint>

namespace {

// A lone column's rows, its running sum and its count of selected rows (a whole number).
struct Column {
    const double* x;
    const double* v;  // restricted average only
    double* y;
    std::int32_t M;
    std::int32_t lead = 0, trail = 0, out = 0;
    double sum = 0.0;
    double selected = 0.0;
};

// The rows of a block that starts at row `first` of the phase. Pointers are formed only
// to rows read or written; `first` is 64-bit, as rows after the last may lie past 2^31 - 1.
struct BlockRows {
    const Column* column;
    std::int64_t first;

    const double* leavingX(std::int32_t r) const { return column->x + (column->trail + first + r); }
    const double* enteringX(std::int32_t r) const { return column->x + (column->lead + first + r); }
    const double* enteringV(std::int32_t r) const { return column->v + (column->lead + first + r); }
    // The output row, and its own input.
    const double* ownX(std::int32_t r) const { return column->x + (column->out + first + r); }
    double* y(std::int32_t r) const { return column->y + (column->out + first + r); }
};

// The operands of rows r .. r + R::kLanes - 1 of a block: a row's sample where it is
// selected, +0.0 where not; and the counts after each row (selectRows).
template <unsigned kMoves, class R>
ZORVAN_ALWAYS_INLINE void chooseOperands(const BlockRows& at, std::int32_t r, double* leave,
                                         double* enter, double* counts, typename R::V& count,
                                         typename R::V* flagged) {
    const Column& column = *at.column;
    const std::int64_t row = at.first + r;
    const RowsSelected<R> rows =
        selectRows<kMoves, R>(column.v, column.lead + row, column.trail + row, count, flagged);
    if constexpr ((kMoves & kEnter) != 0) {
        R::store(enter + r, R::andBits(R::load(at.enteringX(r)), rows.entering));
    }
    if constexpr ((kMoves & kLeave) != 0) {
        R::store(leave + r, R::andBits(R::load(at.leavingX(r)), rows.leaving));
    }
    R::store(counts + r, rows.counts);
}

// The operands of the first n rows of a block (selectInVectors).
template <unsigned kMoves, class Isa>
double chooseBlock(const BlockRows& at, std::int32_t n, double* leave, double* enter,
                   double* counts, double& count) {
    const auto choose = [&](auto lanes, std::int32_t r, auto& carried, auto& gauge) {
        chooseOperands<kMoves, decltype(lanes)>(at, r, leave, enter, counts, carried, &gauge);
    };
    return selectInVectors<Isa>(n, count, choose);
}

// Output rows r .. r + R::kLanes - 1 of a block, from their sums (and counts).
template <bool kSelected, class R>
ZORVAN_ALWAYS_INLINE void emitRows(const BlockRows& at, std::int32_t r, const double* sums,
                                   const double* counts, double divisor, double change) {
    using V = typename R::V;
    const V sum = R::load(sums + r);
    if constexpr (kSelected) {
        // An empty selection divides by one instead of zero; the input replaces it.
        const V count = R::load(counts + r);
        const V quotient = R::div(sum, R::max(count, R::all(1.0)));
        R::store(at.y(r), R::choose(R::isZero(count), R::load(at.ownX(r)), quotient));
    } else {
        // The divisors: whole numbers stepping by `change` per row.
        const double row = static_cast<double>(at.first) + static_cast<double>(r);
        R::store(at.y(r), R::div(sum, R::ramp(divisor + row * change, change)));
    }
}

// Requests the lead rows (and flags) and output rows kPrefetchRows on, inside the column.
template <class Isa, bool kSelected, unsigned kMoves>
ZORVAN_ALWAYS_INLINE void requestAhead(const Column& column, std::int32_t done, std::int32_t n) {
    const BlockRows ahead{&column, std::int64_t{done} + kPrefetchRows};
    for (std::int32_t r = 0; r < n; r += 8) {
        if ((kMoves & kEnter) != 0 && column.lead + ahead.first + r < column.M) {
            Isa::prefetch(ahead.enteringX(r));
            if (kSelected) Isa::prefetch(ahead.enteringV(r));
        }
        if ((kMoves & kEmit) != 0 && column.out + ahead.first + r < column.M) {
            Isa::prefetch(ahead.y(r));
        }
    }
}

// Whether a lone column's sparse blocks are walked (walkSparse): not with one lane, where
// checking every row cost about what skipping saved.
template <class Isa, bool kSelected, unsigned kMoves>
constexpr bool hasSparseWalk = kSelected && walksStill<kMoves> && Isa::kLanes > 1;

// Where a lone column stands once it has moved `rows` rows, reaching `sum` and `count`.
template <unsigned kMoves>
std::int32_t passColumnRows(Column& column, std::int32_t rows, double sum, double count) {
    column.sum = sum;
    column.selected = count;
    passRows<kMoves>(column, rows);
    return rows;
}

// What a block's chain reads (operands chosen, or the column's rows) and writes.
struct ChainedRows {
    const double* leaving;
    const double* entering;
    double* sums;
    double* counts;
};

// The chain through rows [r, r + n) of a block: the only dependent operations. Where no
// row leaves or enters, every count is `selected`.
template <bool kSelected, unsigned kMoves>
ZORVAN_ALWAYS_INLINE void chainRows(const ChainedRows& rows, double& sum, double selected,
                                    std::int32_t r, std::int32_t n) {
    for (std::int32_t i = r; i < r + n; ++i) {
        if constexpr ((kMoves & kLeave) != 0) sum = sum - rows.leaving[i];
        if constexpr ((kMoves & kEnter) != 0) sum = sum + rows.entering[i];
        if constexpr ((kMoves & kEmit) != 0) rows.sums[i] = sum;
        if constexpr (kSelected && kMoves == kEmit) rows.counts[i] = selected;
    }
}

// A lone column's rows in blocks of kBlockRows rows, each with three passes: its operands
// are chosen (restricted average only), its chain runs, its outputs are written. While the
// chain of block b runs, the operands of block b + 1 are chosen and the outputs of block
// b - 1 written, a vector at a time, so that the processor, waiting on the chain, always
// has independent work in view. Block b's buffers are k, its neighbours' k ^ 1.
template <class Isa, bool kSelected, unsigned kMoves>
class ChainedBlocks {
public:
    ChainedBlocks(Column& column, double divisor, double change)
        : column_(column), divisor_(divisor), change_(change), selected_(column.selected) {}

    // Up to `rows` rows, stopping before a sparse block (kWalks); returns the rows done.
    std::int32_t run(std::int32_t rows) {
        double sum = column_.sum, count = column_.selected;  // count: a block ahead of the chain
        if constexpr (kChoose) {
            const BlockRows first{&column_, 0};
            const std::int32_t n = smaller(B, rows);
            chooseBlock<kMoves, Isa>(first, n, leave_[0], enter_[0], counts_[0], count);
        }
        for (std::int32_t done = 0, k = 0;; k ^= 1) {
            const std::int32_t n = smaller(B, rows - done);
            const std::int32_t nextRows = larger(0, smaller(B, rows - done - B));
            requestAhead<Isa, kSelected, kMoves>(column_, done, n);
            const double flaggedNext = n == B && nextRows == B && done > 0
                                           ? interleave(done, k, sum, count)
                                           : oneAfterAnother(done, n, nextRows, k, sum, count);
            if (nextRows == 0 || (kWalks && sparseRows(flaggedNext, B))) {
                // The last block (the next one, if any, is walked): the count is its own.
                if constexpr (kEmits) emitBlock(BlockRows{&column_, done}, n, k);
                if constexpr (kChoose) count = counts_[k][n - 1];
                // (done + B may pass 2^31 - 1 at the last block)
                return passColumnRows<kMoves>(column_, done + n, sum, count);
            }
            done += n;
        }
    }

private:
    using V = typename Isa::V;
    static constexpr bool kLeaves = (kMoves & kLeave) != 0, kEnters = (kMoves & kEnter) != 0;
    static constexpr bool kEmits = (kMoves & kEmit) != 0;
    static constexpr bool kChoose = kSelected && (kLeaves || kEnters);
    static constexpr bool kWalks = hasSparseWalk<Isa, kSelected, kMoves>;
    static constexpr std::int32_t L = Isa::kLanes, B = kBlockRows;
    static_assert(B % L == 0 && B % kGaugedRows == 0 && kGaugedRows % L == 0, "whole vectors");

    // Block k's operands, at `first`.
    ZORVAN_ALWAYS_INLINE ChainedRows chained(std::int32_t first, int k) {
        const BlockRows here{&column_, first};
        const double* leaving = kChoose ? leave_[k] : kLeaves ? here.leavingX(0) : nullptr;
        const double* entering = kChoose ? enter_[k] : kEnters ? here.enteringX(0) : nullptr;
        return {leaving, entering, sums_[k], counts_[k]};
    }

    // A whole block between two whole ones: the three passes interleaved. The next block's
    // density is gauged on its first kGaugedRows rows only, the gauge's own work showing on
    // this, the busiest loop; returns it, scaled to a block.
    ZORVAN_ALWAYS_INLINE double interleave(std::int32_t done, int k, double& sum, double& count) {
        const ChainedRows here = chained(done, k);
        const BlockRows previous{&column_, done - B}, next{&column_, std::int64_t{done} + B};
        V counts = Isa::all(count), flagged = Isa::all(0.0);
        std::int32_t r = 0;
        for (; r < kGaugedRows; r += L) {
            interleaveRows(here, previous, next, r, k, sum, counts, kWalks ? &flagged : nullptr);
        }
        for (; r < B; r += L) interleaveRows(here, previous, next, r, k, sum, counts, nullptr);
        count = Isa::first(counts);
        return kWalks ? laneTotal<Isa>(flagged) * (B / kGaugedRows) : B;
    }

    // Rows r .. r + L - 1 of each pass: the chain's, the outputs' a block behind it and
    // the operands' a block ahead of it (the two in the same buffers k ^ 1, each vector
    // read before it is written).
    ZORVAN_ALWAYS_INLINE void interleaveRows(const ChainedRows& here, const BlockRows& previous,
                                             const BlockRows& next, std::int32_t r, int k,
                                             double& sum, V& counts, V* flagged) {
        chainRows<kSelected, kMoves>(here, sum, selected_, r, L);
        if constexpr (kEmits) {
            emitRows<kSelected, Isa>(previous, r, sums_[k ^ 1], counts_[k ^ 1], divisor_, change_);
        }
        if constexpr (kChoose) {
            chooseOperands<kMoves, Isa>(next, r, leave_[k ^ 1], enter_[k ^ 1], counts_[k ^ 1],
                                        counts, flagged);
        }
    }

    // The first and the last blocks: one pass after the other; returns the next block's
    // gauge.
    ZORVAN_ALWAYS_INLINE double oneAfterAnother(std::int32_t done, std::int32_t n,
                                                std::int32_t nextRows, int k, double& sum,
                                                double& count) {
        chainRows<kSelected, kMoves>(chained(done, k), sum, selected_, 0, n);
        if (kEmits && done > 0) emitBlock(BlockRows{&column_, done - B}, B, k ^ 1);
        if constexpr (kChoose) {
            const BlockRows next{&column_, std::int64_t{done} + B};
            return chooseBlock<kMoves, Isa>(next, nextRows, leave_[k ^ 1], enter_[k ^ 1],
                                            counts_[k ^ 1], count);
        }
        return B;
    }

    // Block k's outputs, the first n rows at `at`.
    ZORVAN_ALWAYS_INLINE void emitBlock(const BlockRows& at, std::int32_t n, int k) {
        std::int32_t r = 0;
        const double *sums = sums_[k], *counts = counts_[k];
        for (; n - r >= L; r += L) emitRows<kSelected, Isa>(at, r, sums, counts, divisor_, change_);
        for (; r < n; ++r) emitRows<kSelected, Scalar>(at, r, sums, counts, divisor_, change_);
    }

    Column& column_;
    double divisor_, change_;  // the plain average's first divisor, and its step per row
    double selected_;          // every row's count where no row leaves or enters
    double leave_[2][B], enter_[2][B], sums_[2][B], counts_[2][B];
};

// Up to `rows` rows of a lone column's phase in chained blocks; returns the rows done.
template <class Isa, bool kSelected, unsigned kMoves>
std::int32_t chainBlocks(Column& column, std::int32_t rows, double divisor, double change) {
    return ChainedBlocks<Isa, kSelected, kMoves>(column, divisor, change).run(rows);
}

// Up to `rows` rows of a lone column's phase by the still/step walk, a vector that moves
// stepping as a block of one vector would, until a block of kBlockRows rows is not sparse;
// returns the rows done.
template <class Isa, unsigned kMoves>
std::int32_t walkSparse(Column& column, std::int32_t rows) {
    constexpr bool kEmits = (kMoves & kEmit) != 0;
    // Pointers of this call's own (as in ChainRows), only to rows read or written.
    const double* leaveV = (kMoves & kLeave) != 0 ? column.v + column.trail : nullptr;
    const double* enterV = (kMoves & kEnter) != 0 ? column.v + column.lead : nullptr;
    const double* own = kEmits ? column.x + column.out : nullptr;
    double* y = kEmits ? column.y + column.out : nullptr;
    double sum = column.sum, count = column.selected;
    // What still rows take: their input where the window selects nothing, or `quotient`.
    bool passing = false;
    typename Isa::V quotient = Isa::all(0.0);
    auto settle = [&] {
        passing = count == 0.0;
        quotient = Isa::all(sum / (passing ? 1.0 : count));
    };
    settle();
    double flagged = 0.0;
    auto step = [&](auto lanes, std::int32_t i) {
        using R = decltype(lanes);
        double leave[R::kLanes], enter[R::kLanes], counts[R::kLanes], sums[R::kLanes];
        const BlockRows at{&column, i};
        typename R::V carried = R::all(count), flags = R::all(0.0);
        chooseOperands<kMoves, R>(at, 0, leave, enter, counts, carried, &flags);
        chainRows<true, kMoves>(ChainedRows{leave, enter, sums, counts}, sum, count, 0, R::kLanes);
        if constexpr (kEmits) emitRows<true, R>(at, 0, sums, counts, 0.0, 0.0);
        count = R::first(carried);
        flagged += laneTotal<R>(flags);
        settle();
    };
    const auto still = [&](std::int32_t i) {
        if constexpr (kEmits) Isa::store(y + i, passing ? Isa::load(own + i) : quotient);
    };
    std::int32_t done = 0;
    for (std::int32_t n = 0; done < rows && sparseRows(flagged, kBlockRows); done += n) {
        n = smaller(kBlockRows, rows - done);
        flagged = 0.0;
        std::int32_t i = walkStill<kMoves, Isa>(enterV, leaveV, done, done + n,
                                                [&](std::int32_t r) { step(Isa{}, r); }, still);
        for (; i < done + n; ++i) step(Scalar{}, i);
    }
    return passColumnRows<kMoves>(column, done, sum, count);
}

// The runner of a lone column: the restricted average's blocks walked and chained by
// turns (handOver).
template <class Isa, bool kSelected>
struct ColumnRunner {
    Column& column;

    template <unsigned kMoves>
    void rows(std::int32_t n, double divisor, double change) {
        if constexpr (kMoves == kNone) {
            writeEmptyRows<kSelected>(column.x + column.out, column.y + column.out, n);
            column.out += n;
        } else if constexpr (hasSparseWalk<Isa, kSelected, kMoves>) {
            const auto chain = [&](std::int32_t rows) {
                return chainBlocks<Isa, true, kMoves>(column, rows, 0, 0);
            };
            const auto walk = [&](std::int32_t rest) {
                return walkSparse<Isa, kMoves>(column, rest);
            };
            handOver(n, true, chain, walk);
        } else {
            chainBlocks<Isa, kSelected, kMoves>(column, n, divisor, change);
        }
    }
};

// One column of M rows through every phase; v is null for the plain average.
template <class Isa, bool kSelected>
void averageColumn(const double* x, const double* v, double* y, std::int32_t M,
                   const Phases& phases) {
    Column column{x, v, y, M};
    column.lead = column.trail = phases.first;
    ColumnRunner<Isa, kSelected> run{column};
    runPhases(phases, run);
}

}  // namespace

#endif
