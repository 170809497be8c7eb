// One column alone (see column_groups.h): its running sum is one scalar chain, and
// everything around it runs in vectors of consecutive rows, block by block, off the chain.
#ifndef ZORVAN_KERNELS_LONE_COLUMN_H
#define ZORVAN_KERNELS_LONE_COLUMN_H

#include "column_chains.h"
#include "column_phases.h"
#include "engine_tuning.h"
#include "scalar_lanes.h"

#include <cstdint>

namespace {

// A lone column's place in its rows and the state of its running sum.
struct Column {
    const double* x;
    const double* v;  // restricted average only
    double* y;
    std::int32_t M;
    std::int32_t lead = 0, trail = 0, out = 0;
    double sum = 0.0;
    double selected = 0.0;  // selected rows in the window, a whole number
};

// One block of a lone column: the column, and the block's first row in the phase.
// Pointers are formed only to rows that are read or written. `first` is 64-bit: the block
// after the last one, or the rows a prefetch looks at, may lie past 2^31 - 1.
struct BlockRows {
    const Column* column;
    std::int64_t first;

    const double* leavingX(std::int32_t r) const { return column->x + (column->trail + first + r); }
    const double* leavingV(std::int32_t r) const { return column->v + (column->trail + first + r); }
    const double* enteringX(std::int32_t r) const { return column->x + (column->lead + first + r); }
    const double* enteringV(std::int32_t r) const { return column->v + (column->lead + first + r); }
    // The output row, and its own input (passed through where nothing is selected).
    const double* ownX(std::int32_t r) const { return column->x + (column->out + first + r); }
    double* y(std::int32_t r) const { return column->y + (column->out + first + r); }
};

// The operands of rows r .. r + R::kLanes - 1 of a block, in one vector of R: a row's
// sample where it is selected, +0.0 where not (no running sum is ever -0.0, so adding or
// subtracting it changes nothing), and the count of selected rows in the window after
// each row (`count` as in countAfter).
template <unsigned kMoves, class R>
ZORVAN_ALWAYS_INLINE void chooseOperands(const BlockRows& at, std::int32_t r, double* leave,
                                         double* enter, double* counts, typename R::V& count) {
    using V = typename R::V;
    V entering = R::all(0.0), leaving = R::all(0.0);
    if constexpr ((kMoves & kEnter) != 0) {
        entering = R::selected(R::load(at.enteringV(r)));
        R::store(enter + r, R::andBits(R::load(at.enteringX(r)), entering));
    }
    if constexpr ((kMoves & kLeave) != 0) {
        leaving = R::selected(R::load(at.leavingV(r)));
        R::store(leave + r, R::andBits(R::load(at.leavingX(r)), leaving));
    }
    R::store(counts + r, countAfter<kMoves, R>(entering, leaving, count));
}

// The operands of the first n rows of a block: in vectors, then one by one.
template <unsigned kMoves, class Isa>
void chooseBlock(const BlockRows& at, std::int32_t n, double* leave, double* enter, double* counts,
                 typename Isa::V& count) {
    std::int32_t r = 0;
    for (; n - r >= Isa::kLanes; r += Isa::kLanes) chooseOperands<kMoves, Isa>(at, r, leave, enter, counts, count);
    if (r == n) return;
    double single = Isa::first(count);
    for (; r < n; ++r) chooseOperands<kMoves, Scalar>(at, r, leave, enter, counts, single);
    count = Isa::all(single);
}

// Output rows r .. r + R::kLanes - 1 of a block from their sums (and counts), in one
// vector of R.
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

// Requests the data a few blocks on, inside the column only: the lead rows (and their
// flags) and the output rows of the n rows `kPrefetchRows` after the block at `done`.
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

// `rows` rows of one phase of a lone column, in blocks of kBlockRows rows. Each block
// has three passes: its operands are chosen (restricted average only; the plain one adds
// its samples as they are), its chain runs (the only dependent operations), and its
// outputs are written. The passes of neighbouring blocks are interleaved a vector at a
// time: while the chain of block b runs, the operands of block b + 1 are chosen and the
// outputs of block b - 1 are written, so that the processor, waiting on the chain, always
// has independent work in view; and every pass reads what was stored a block ago.
template <class Isa, bool kSelected, unsigned kMoves>
void advanceColumn(Column& column, std::int32_t rows, double divisor, double change) {
    constexpr bool kLeaves = (kMoves & kLeave) != 0, kEnters = (kMoves & kEnter) != 0;
    constexpr bool kEmits = (kMoves & kEmit) != 0, kChoose = kSelected && (kLeaves || kEnters);
    constexpr std::int32_t L = Isa::kLanes, B = kBlockRows;
    static_assert(B % L == 0, "blocks of whole vectors");
    double leave[2][B], enter[2][B], sums[2][B], counts[2][B];
    // The count of selected rows, carried from block to block by the pass that chooses
    // the operands, a block ahead of the chain.
    typename Isa::V count = Isa::all(column.selected);
    auto chooseAll = [&](const BlockRows& at, std::int32_t n, int k) {
        chooseBlock<kMoves, Isa>(at, n, leave[k], enter[k], counts[k], count);
    };
    auto emitAll = [&](const BlockRows& at, std::int32_t n, int k) {
        std::int32_t r = 0;
        for (; n - r >= L; r += L) emitRows<kSelected, Isa>(at, r, sums[k], counts[k], divisor, change);
        for (; r < n; ++r) emitRows<kSelected, Scalar>(at, r, sums[k], counts[k], divisor, change);
    };

    double sum = column.sum;
    const double selected = column.selected;  // where no row leaves or enters
    if constexpr (kChoose) chooseAll(BlockRows{&column, 0}, smaller(B, rows), 0);
    // done + B may pass 2^31 - 1 at the last block: steps of n stay within the rows.
    for (std::int32_t done = 0, k = 0, n = 0; done < rows; done += n, k ^= 1) {
        n = smaller(B, rows - done);
        const std::int32_t nextRows = larger(0, smaller(B, rows - done - B));
        requestAhead<Isa, kSelected, kMoves>(column, done, n);
        const BlockRows here{&column, done}, previous{&column, done - B};
        const BlockRows next{&column, std::int64_t{done} + B};
        const double* leaving = kChoose ? leave[k] : kLeaves ? here.leavingX(0) : nullptr;
        const double* entering = kChoose ? enter[k] : kEnters ? here.enteringX(0) : nullptr;
        double* blockSums = sums[k];
        double* blockCounts = counts[k];
        auto chain = [&](std::int32_t r) {
            if constexpr (kLeaves) sum = sum - leaving[r];
            if constexpr (kEnters) sum = sum + entering[r];
            if constexpr (kEmits) blockSums[r] = sum;
            if constexpr (kSelected && kEmits && !kChoose) blockCounts[r] = selected;
        };
        if (n == B && nextRows == B && done > 0) {
            // A whole block between two whole ones: the three passes interleaved.
            for (std::int32_t r = 0; r < B; r += L) {
                for (std::int32_t i = 0; i < L; ++i) chain(r + i);
                if constexpr (kEmits) emitRows<kSelected, Isa>(previous, r, sums[k ^ 1], counts[k ^ 1], divisor, change);
                if constexpr (kChoose) chooseOperands<kMoves, Isa>(next, r, leave[k ^ 1], enter[k ^ 1], counts[k ^ 1], count);
            }
        } else {
            // The first and the last blocks: one pass after the other.
            for (std::int32_t r = 0; r < n; ++r) chain(r);
            if (kEmits && done > 0) emitAll(previous, B, k ^ 1);
            if constexpr (kChoose) chooseAll(next, nextRows, k ^ 1);
        }
        if (kEmits && n == rows - done) emitAll(here, n, k);
    }
    column.sum = sum;
    if constexpr (kChoose) column.selected = Isa::first(count);
    if constexpr (kLeaves) column.trail += rows;
    if constexpr (kEnters) column.lead += rows;
    if constexpr (kEmits) column.out += rows;
}

// The runner of a lone column.
template <class Isa, bool kSelected>
struct ColumnRunner {
    Column& column;

    template <unsigned kMoves>
    void rows(std::int32_t n, double divisor, double change) {
        if constexpr (kMoves == kNone) {
            writeEmptyRows<kSelected>(column.x + column.out, column.y + column.out, n);
            column.out += n;
        } else {
            advanceColumn<Isa, kSelected, kMoves>(column, n, divisor, change);
        }
    }
};

// One column of M rows through every phase; v is null for the plain average.
template <class Isa, bool kSelected>
void averageColumn(const double* x, const double* v, double* y, std::int32_t M, const Phases& phases) {
    Column column{x, v, y, M};
    column.lead = column.trail = phases.first;
    ColumnRunner<Isa, kSelected> run{column};
    runPhases(phases, run);
}

}  // namespace

#endif
