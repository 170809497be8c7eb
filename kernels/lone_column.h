// One column alone under the restricted average (see column_groups.h): its running sum
// is one scalar chain, and the rest runs in vectors of consecutive rows, segment by
// segment, off the chain. (The plain average's lone column runs the column kernel: the
// same segments measured no faster there.)
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
    const double* v;
    double* y;
    std::int32_t M;
    std::int32_t lead = 0, trail = 0, out = 0;
    double sum = 0.0;
    double count = 0.0;
};

// The rows of a segment that starts at row `start` of the span. Pointers are formed only
// to rows read or written; `start` is 64-bit, as rows after the last may lie past 2^31 - 1.
struct SegmentRows {
    const Column* column;
    std::int64_t start;

    const double* leavingX(std::int32_t r) const { return column->x + (column->trail + start + r); }
    const double* enteringX(std::int32_t r) const { return column->x + (column->lead + start + r); }
    const double* enteringV(std::int32_t r) const { return column->v + (column->lead + start + r); }
    // The output row, and its own input.
    const double* ownX(std::int32_t r) const { return column->x + (column->out + start + r); }
    double* y(std::int32_t r) const { return column->y + (column->out + start + r); }
};

// The operands of rows r .. r + R::kLanes - 1 of a segment: a row's sample where it is
// selected, +0.0 where not; and the counts after each row (selectRows).
template <unsigned kMoves, class R>
ZORVAN_ALWAYS_INLINE void chooseOperands(const SegmentRows& at, std::int32_t r, double* leave,
                                         double* enter, double* counts, typename R::V& count,
                                         typename R::V* flagged) {
    const Column& column = *at.column;
    const std::int64_t row = at.start + r;
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

// The operands of the first n rows of a segment (selectInVectors).
template <unsigned kMoves, class Isa>
double chooseSegment(const SegmentRows& at, std::int32_t n, double* leave, double* enter,
                     double* counts, double& count) {
    const auto choose = [&](auto lanes, std::int32_t r, auto& carried, auto& flagged) {
        chooseOperands<kMoves, decltype(lanes)>(at, r, leave, enter, counts, carried, &flagged);
    };
    return selectInVectors<Isa>(n, count, choose);
}

// Output rows r .. r + R::kLanes - 1 of a segment, from their sums and counts.
template <class R>
ZORVAN_ALWAYS_INLINE void emitRows(const SegmentRows& at, std::int32_t r, const double* sums,
                                   const double* counts) {
    const typename R::V count = R::load(counts + r);
    const typename R::V quotient = R::div(R::load(sums + r), selectedDivisor<R>(count));
    R::store(at.y(r), R::choose(selectsNothing<R>(count), R::load(at.ownX(r)), quotient));
}

// Requests the lead rows and flags, and the output rows, kPrefetchRows on, inside the
// column.
template <class Isa, unsigned kMoves>
ZORVAN_ALWAYS_INLINE void requestAhead(const Column& column, std::int32_t done, std::int32_t n) {
    const SegmentRows ahead{&column, std::int64_t{done} + kPrefetchRows};
    for (std::int32_t r = 0; r < n; r += 8) {
        if ((kMoves & kEnter) != 0 && column.lead + ahead.start + r < column.M) {
            Isa::prefetch(ahead.enteringX(r));
            Isa::prefetch(ahead.enteringV(r));
        }
        if ((kMoves & kEmit) != 0 && column.out + ahead.start + r < column.M) {
            Isa::prefetch(ahead.y(r));
        }
    }
}

// Whether a lone column's sparse segments are walked (walkSparseColumn): not with one
// lane, where checking every row cost about what skipping saved.
template <class Isa, unsigned kMoves>
constexpr bool hasSparseWalk = walksStill<kMoves> && Isa::kLanes > 1;

// Where a lone column stands once it has moved `rows` rows, reaching `sum` and `count`.
template <unsigned kMoves>
std::int32_t finishColumn(Column& column, std::int32_t rows, double sum, double count) {
    column.sum = sum;
    column.count = count;
    advance<kMoves>(column, rows);
    return rows;
}

// What a segment's chain reads (its chosen operands) and writes.
struct ChainedRows {
    const double* leaving;
    const double* entering;
    double* sums;
    double* counts;
};

// The chain through rows [r, r + n) of a segment: the only dependent operations. Where
// no row leaves or enters, every count is `count`.
template <unsigned kMoves>
ZORVAN_ALWAYS_INLINE void runChain(const ChainedRows& rows, double& sum, double count,
                                   std::int32_t r, std::int32_t n) {
    for (std::int32_t i = r; i < r + n; ++i) {
        if constexpr ((kMoves & kLeave) != 0) sum = sum - rows.leaving[i];
        if constexpr ((kMoves & kEnter) != 0) sum = sum + rows.entering[i];
        if constexpr ((kMoves & kEmit) != 0) rows.sums[i] = sum;
        if constexpr (kMoves == kEmit) rows.counts[i] = count;
    }
}

// A lone column's rows in segments of kSegmentRows rows, each with three passes: its
// operands are chosen, its chain runs, its outputs are written. While the chain of
// segment s runs, the operands of segment s + 1 are chosen and the outputs of segment
// s - 1 written, a vector at a time, so that the processor, waiting on the chain, always
// has independent work in view. Segment s's buffers are k, its neighbours' k ^ 1.
template <class Isa, unsigned kMoves>
class ChainedSegments {
public:
    explicit ChainedSegments(Column& column) : column_(column), count_(column.count) {}

    // Up to `rows` rows, stopping before a sparse segment (kWalks); returns the rows done.
    std::int32_t run(std::int32_t rows) {
        double sum = column_.sum, count = column_.count;  // count: a segment ahead of the chain
        if constexpr (kChoose) {
            const std::int32_t n = smaller(B, rows);
            chooseSegment<kMoves, Isa>(SegmentRows{&column_, 0}, n, leave_[0], enter_[0],
                                       counts_[0], count);
        }
        for (std::int32_t done = 0, k = 0;; k ^= 1) {
            const std::int32_t n = smaller(B, rows - done);
            const std::int32_t nextRows = larger(0, smaller(B, rows - done - B));
            requestAhead<Isa, kMoves>(column_, done, n);
            const double flaggedNext = n == B && nextRows == B && done > 0
                                           ? interleave(done, k, sum, count)
                                           : oneAfterAnother(done, n, nextRows, k, sum, count);
            if (nextRows == 0 || (kWalks && sparseRows(flaggedNext, B))) {
                // The last segment (the next one, if any, is walked): the count is its own.
                if constexpr (kEmits) emitSegment(SegmentRows{&column_, done}, n, k);
                if constexpr (kChoose) count = counts_[k][n - 1];
                // (done + B may pass 2^31 - 1 at the last segment)
                return finishColumn<kMoves>(column_, done + n, sum, count);
            }
            done += n;
        }
    }

private:
    using V = typename Isa::V;
    static constexpr bool kEmits = (kMoves & kEmit) != 0;
    static constexpr bool kChoose = walksStill<kMoves>;  // rows leave or enter
    static constexpr bool kWalks = hasSparseWalk<Isa, kMoves>;
    static constexpr std::int32_t L = Isa::kLanes, B = kSegmentRows;
    static_assert(B % L == 0 && B % kGaugedRows == 0 && kGaugedRows % L == 0, "whole vectors");

    ZORVAN_ALWAYS_INLINE ChainedRows chained(int k) {
        return {leave_[k], enter_[k], sums_[k], counts_[k]};
    }

    // A whole segment between two whole ones: the three passes interleaved. The next
    // segment's density is gauged on its first kGaugedRows rows only, the gauge's own work
    // showing on this, the busiest loop; returns the rows flagged, scaled to a segment.
    ZORVAN_ALWAYS_INLINE double interleave(std::int32_t done, int k, double& sum, double& count) {
        const SegmentRows previous{&column_, done - B}, next{&column_, std::int64_t{done} + B};
        V counts = Isa::all(count), flagged = Isa::all(0.0);
        std::int32_t r = 0;
        for (; r < kGaugedRows; r += L) {
            interleaveRows(previous, next, r, k, sum, counts, kWalks ? &flagged : nullptr);
        }
        for (; r < B; r += L) interleaveRows(previous, next, r, k, sum, counts, nullptr);
        count = Isa::lane0(counts);
        return kWalks ? laneTotal<Isa>(flagged) * (B / kGaugedRows) : B;
    }

    // Rows r .. r + L - 1 of each pass: the chain's, the outputs' a segment behind it and
    // the operands' a segment ahead of it (the two in the same buffers k ^ 1, each vector
    // read before it is written).
    ZORVAN_ALWAYS_INLINE void interleaveRows(const SegmentRows& previous, const SegmentRows& next,
                                             std::int32_t r, int k, double& sum, V& counts,
                                             V* flagged) {
        runChain<kMoves>(chained(k), sum, count_, r, L);
        if constexpr (kEmits) emitRows<Isa>(previous, r, sums_[k ^ 1], counts_[k ^ 1]);
        if constexpr (kChoose) {
            chooseOperands<kMoves, Isa>(next, r, leave_[k ^ 1], enter_[k ^ 1], counts_[k ^ 1],
                                        counts, flagged);
        }
    }

    // The first and the last segments: one pass after the other; returns the next
    // segment's rows flagged.
    ZORVAN_ALWAYS_INLINE double oneAfterAnother(std::int32_t done, std::int32_t n,
                                                std::int32_t nextRows, int k, double& sum,
                                                double& count) {
        runChain<kMoves>(chained(k), sum, count_, 0, n);
        if (kEmits && done > 0) emitSegment(SegmentRows{&column_, done - B}, B, k ^ 1);
        if constexpr (kChoose) {
            const SegmentRows next{&column_, std::int64_t{done} + B};
            return chooseSegment<kMoves, Isa>(next, nextRows, leave_[k ^ 1], enter_[k ^ 1],
                                              counts_[k ^ 1], count);
        }
        return B;
    }

    // Segment k's outputs, the first n rows at `at`.
    ZORVAN_ALWAYS_INLINE void emitSegment(const SegmentRows& at, std::int32_t n, int k) {
        std::int32_t r = 0;
        for (; n - r >= L; r += L) emitRows<Isa>(at, r, sums_[k], counts_[k]);
        for (; r < n; ++r) emitRows<Scalar>(at, r, sums_[k], counts_[k]);
    }

    Column& column_;
    double count_;  // every row's count where no row leaves or enters
    double leave_[2][B], enter_[2][B], sums_[2][B], counts_[2][B];
};

// Up to `rows` rows of a lone column's span by the still/step walk, a vector that moves
// stepping as a segment of one vector would, until a segment is not sparse; returns the
// rows done.
template <class Isa, unsigned kMoves>
std::int32_t walkSparseColumn(Column& column, std::int32_t rows) {
    constexpr bool kEmits = (kMoves & kEmit) != 0;
    // Pointers of this call's own (as in ChainMover), only to rows read or written.
    const double* leaveV = (kMoves & kLeave) != 0 ? column.v + column.trail : nullptr;
    const double* enterV = (kMoves & kEnter) != 0 ? column.v + column.lead : nullptr;
    const double* own = kEmits ? column.x + column.out : nullptr;
    double* y = kEmits ? column.y + column.out : nullptr;
    double sum = column.sum, count = column.count;
    Settled<Scalar> still = settle<Scalar>(sum, count);
    double flagged = 0.0;
    auto step = [&](auto lanes, std::int32_t i) {
        using R = decltype(lanes);
        double leave[R::kLanes], enter[R::kLanes], counts[R::kLanes], sums[R::kLanes];
        const SegmentRows at{&column, i};
        typename R::V carried = R::all(count), flags = R::all(0.0);
        chooseOperands<kMoves, R>(at, 0, leave, enter, counts, carried, &flags);
        runChain<kMoves>(ChainedRows{leave, enter, sums, counts}, sum, count, 0, R::kLanes);
        if constexpr (kEmits) emitRows<R>(at, 0, sums, counts);
        count = R::lane0(carried);
        flagged += laneTotal<R>(flags);
        still = settle<Scalar>(sum, count);
    };
    const auto writeStill = [&](std::int32_t i) {
        if constexpr (kEmits) {
            Isa::store(y + i, still.keepsInput ? Isa::load(own + i) : Isa::all(still.quotient));
        }
    };
    const auto vectorStep = [&](std::int32_t i) { step(Isa{}, i); };
    const std::int32_t done = blocksWhile(rows, kSegmentRows, [&](std::int32_t at, std::int32_t n) {
        flagged = 0.0;
        std::int32_t i = walkStill<kMoves, Isa>(enterV, leaveV, at, at + n, vectorStep, writeStill);
        for (; i < at + n; ++i) step(Scalar{}, i);
        return sparseRows(flagged, kSegmentRows);
    });
    return finishColumn<kMoves>(column, done, sum, count);
}

// One column of M rows through every span of its walk.
template <class Isa>
void averageColumn(const double* x, const double* v, double* y, std::int32_t M,
                   const Walk& walk) {
    Column column{x, v, y, M};
    column.lead = column.trail = walk.firstRow;
    for (const Span& span : walk.spans) {
        withMoves(span.moves, [&](auto moves) {
            constexpr unsigned kMoves = decltype(moves)::kMoves;
            if constexpr (kMoves == kNone) {
                writeEmptyRows<true>(column.x + column.out, column.y + column.out, span.rows);
                column.out += span.rows;
            } else if constexpr (hasSparseWalk<Isa, kMoves>) {
                const auto chain = [&](std::int32_t n) {
                    return ChainedSegments<Isa, kMoves>(column).run(n);
                };
                const auto walkSparse = [&](std::int32_t n) {
                    return walkSparseColumn<Isa, kMoves>(column, n);
                };
                takeTurns(span.rows, true, chain, walkSparse);
            } else {
                ChainedSegments<Isa, kMoves>(column).run(span.rows);
            }
        });
    }
}

}  // namespace

#endif
