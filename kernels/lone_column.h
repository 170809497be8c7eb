// One column alone (see column_groups.h): its running sum is one scalar chain, and
// everything around it runs in vectors of consecutive rows, block by block, off the chain;
// under a sparse selection the chain moves only where a selected row leaves or enters.
#ifndef ZORVAN_KERNELS_LONE_COLUMN_H
#define ZORVAN_KERNELS_LONE_COLUMN_H

#include "column_phases.h"
#include "engine_tuning.h"
#include "scalar_lanes.h"
#include "selection.h"

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
// each row (`count` as in countAfter). `flagged`, if given, gauges them (gaugeRows).
template <unsigned kMoves, class R>
ZORVAN_ALWAYS_INLINE void chooseOperands(const BlockRows& at, std::int32_t r, double* leave,
                                         double* enter, double* counts, typename R::V& count,
                                         typename R::V* flagged) {
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
    if (flagged != nullptr) gaugeRows<kMoves, R>(entering, leaving, *flagged);
    R::store(counts + r, countAfter<kMoves, R>(entering, leaving, count));
}

// The operands of the first n rows of a block: in vectors, then one by one. Returns how
// many of the rows flagged (as in chooseOperands) are selected, where kGauged.
template <unsigned kMoves, class Isa, bool kGauged>
double chooseBlock(const BlockRows& at, std::int32_t n, double* leave, double* enter, double* counts,
                   typename Isa::V& count) {
    typename Isa::V flagged = Isa::all(0.0);
    std::int32_t r = 0;
    for (; n - r >= Isa::kLanes; r += Isa::kLanes) {
        chooseOperands<kMoves, Isa>(at, r, leave, enter, counts, count, kGauged ? &flagged : nullptr);
    }
    double single = Isa::first(count), rest = 0.0;
    for (; r < n; ++r) chooseOperands<kMoves, Scalar>(at, r, leave, enter, counts, single, kGauged ? &rest : nullptr);
    count = Isa::all(single);
    return kGauged ? laneTotal<Isa>(flagged) + rest : 0.0;
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

// Whether a lone column's sparse blocks are walked (walkSparse): the restricted average's
// where rows leave or enter, on a path with vectors (with one lane, checking every row
// cost about what skipping saved).
template <class Isa, bool kSelected, unsigned kMoves>
constexpr bool walksSparse = kSelected && (kMoves & (kLeave | kEnter)) != 0 && Isa::kLanes > 1;

// Up to `rows` rows of one phase of a lone column, in blocks of kBlockRows rows. Each
// block has three passes: its operands are chosen (restricted average only; the plain one
// adds its samples as they are), its chain runs (the only dependent operations), and its
// outputs are written. The passes of neighbouring blocks are interleaved a vector at a
// time: while the chain of block b runs, the operands of block b + 1 are chosen and the
// outputs of block b - 1 are written, so that the processor, waiting on the chain, always
// has independent work in view; and every pass reads what was stored a block ago.
// Where the operands chosen for the next block show a sparse selection, the rows stop
// after this block (for walkSparse); returns the rows done.
template <class Isa, bool kSelected, unsigned kMoves>
std::int32_t chainBlocks(Column& column, std::int32_t rows, double divisor, double change) {
    constexpr bool kLeaves = (kMoves & kLeave) != 0, kEnters = (kMoves & kEnter) != 0;
    constexpr bool kEmits = (kMoves & kEmit) != 0, kChoose = kSelected && (kLeaves || kEnters);
    constexpr bool kWalks = walksSparse<Isa, kSelected, kMoves>;
    constexpr std::int32_t L = Isa::kLanes, B = kBlockRows;
    static_assert(B % L == 0 && B % kGaugedRows == 0 && kGaugedRows % L == 0, "blocks of whole vectors");
    double leave[2][B], enter[2][B], sums[2][B], counts[2][B];
    // The count of selected rows, carried from block to block by the pass that chooses
    // the operands, a block ahead of the chain.
    typename Isa::V count = Isa::all(column.selected);
    auto emitAll = [&](const BlockRows& at, std::int32_t n, int k) {
        std::int32_t r = 0;
        for (; n - r >= L; r += L) emitRows<kSelected, Isa>(at, r, sums[k], counts[k], divisor, change);
        for (; r < n; ++r) emitRows<kSelected, Scalar>(at, r, sums[k], counts[k], divisor, change);
    };

    double sum = column.sum;
    const double selected = column.selected;  // where no row leaves or enters
    if constexpr (kChoose) chooseBlock<kMoves, Isa, false>(BlockRows{&column, 0}, smaller(B, rows), leave[0], enter[0], counts[0], count);
    std::int32_t done = 0;
    // done + B may pass 2^31 - 1 at the last block: steps of n stay within the rows.
    for (std::int32_t k = 0, n = 0; done < rows; done += n, k ^= 1) {
        n = smaller(B, rows - done);
        std::int32_t nextRows = larger(0, smaller(B, rows - done - B));
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
        double flaggedNext = B;
        if (n == B && nextRows == B && done > 0) {
            // A whole block between two whole ones: the three passes interleaved. The
            // next block's density is gauged on its first kGaugedRows rows only, the
            // gauge's own work showing on this, the busiest loop.
            typename Isa::V flagged = Isa::all(0.0);
            auto interleave = [&](std::int32_t r, typename Isa::V* gauge) {
                for (std::int32_t i = 0; i < L; ++i) chain(r + i);
                if constexpr (kEmits) emitRows<kSelected, Isa>(previous, r, sums[k ^ 1], counts[k ^ 1], divisor, change);
                if constexpr (kChoose) chooseOperands<kMoves, Isa>(next, r, leave[k ^ 1], enter[k ^ 1], counts[k ^ 1], count, gauge);
            };
            std::int32_t r = 0;
            for (; r < kGaugedRows; r += L) interleave(r, kWalks ? &flagged : nullptr);
            for (; r < B; r += L) interleave(r, nullptr);
            if constexpr (kWalks) flaggedNext = laneTotal<Isa>(flagged) * (B / kGaugedRows);
        } else {
            // The first and the last blocks: one pass after the other.
            for (std::int32_t r = 0; r < n; ++r) chain(r);
            if (kEmits && done > 0) emitAll(previous, B, k ^ 1);
            if constexpr (kChoose) flaggedNext = chooseBlock<kMoves, Isa, kWalks>(next, nextRows, leave[k ^ 1], enter[k ^ 1], counts[k ^ 1], count);
        }
        if (kWalks && nextRows > 0 && sparseRows(flaggedNext, B)) {
            // The next block is sparse: this one is the last, and the count is its own.
            nextRows = 0;
            count = Isa::all(counts[k][n - 1]);
        }
        if (kEmits && nextRows == 0) emitAll(here, n, k);
        if (nextRows == 0) {
            done += n;
            break;
        }
    }
    column.sum = sum;
    if constexpr (kChoose) column.selected = Isa::first(count);
    if constexpr (kLeaves) column.trail += done;
    if constexpr (kEnters) column.lead += done;
    if constexpr (kEmits) column.out += done;
    return done;
}

// Up to `rows` rows of one phase of a lone column under a sparse selection, a vector of
// rows at a time. Where no row of a vector leaves or enters selected, every operand is
// +0.0: the running sum and the count stand still, and so does every output row's value,
// the quotient already worked out or, where the window selects nothing, the row's own
// input. Elsewhere the vector's rows take their whole steps, as in chainBlocks. Only the
// selection decides which. A block of kBlockRows rows whose selection is no longer sparse is the last;
// returns the rows done.
template <class Isa, unsigned kMoves>
std::int32_t walkSparse(Column& column, std::int32_t rows) {
    using V = typename Isa::V;
    constexpr bool kLeaves = (kMoves & kLeave) != 0, kEnters = (kMoves & kEnter) != 0;
    constexpr bool kEmits = (kMoves & kEmit) != 0;
    constexpr std::int32_t B = kBlockRows;
    // The rows are taken once, into pointers of this call's own (as in ChainRows), and
    // only those that are read or written.
    const double* leaveV = kLeaves ? column.v + column.trail : nullptr;
    const double* enterV = kEnters ? column.v + column.lead : nullptr;
    const double* own = kEmits ? column.x + column.out : nullptr;
    double* y = kEmits ? column.y + column.out : nullptr;
    double sum = column.sum, count = column.selected;
    // Every output row's value until a row leaves or enters selected.
    bool passes = false;  // the window selects nothing: each row's input is its output
    V quotient = Isa::all(0.0);
    auto settle = [&] {
        passes = count == 0.0;
        quotient = Isa::all(sum / (passes ? 1.0 : count));
    };
    settle();
    double flagged = 0.0;  // as in chooseOperands
    // Rows i .. i + R::kLanes - 1: their operands and outputs in a vector, the chain
    // through them one by one.
    auto step = [&](auto lanes, std::int32_t i) {
        using R = decltype(lanes);
        double leave[R::kLanes], enter[R::kLanes], counts[R::kLanes], sums[R::kLanes];
        const BlockRows at{&column, i};
        typename R::V carried = R::all(count), flags = R::all(0.0);
        chooseOperands<kMoves, R>(at, 0, leave, enter, counts, carried, &flags);
        for (int r = 0; r < R::kLanes; ++r) {
            if constexpr (kLeaves) sum = sum - leave[r];
            if constexpr (kEnters) sum = sum + enter[r];
            sums[r] = sum;
        }
        if constexpr (kEmits) emitRows<true, R>(at, 0, sums, counts, 0.0, 0.0);
        count = R::first(carried);
        flagged += laneTotal<R>(flags);
        settle();
    };
    const auto still = [&](std::int32_t i) {
        if constexpr (kEmits) Isa::store(y + i, passes ? Isa::load(own + i) : quotient);
    };
    std::int32_t done = 0;
    for (std::int32_t n = 0; done < rows && sparseRows(flagged, B); done += n) {
        n = smaller(B, rows - done);
        flagged = 0.0;
        std::int32_t i = walkStill<kMoves, Isa>(enterV, leaveV, done, done + n,
                                                [&](std::int32_t r) { step(Isa{}, r); }, still);
        for (; i < done + n; ++i) step(Scalar{}, i);
    }
    column.sum = sum;
    column.selected = count;
    if constexpr (kLeaves) column.trail += done;
    if constexpr (kEnters) column.lead += done;
    if constexpr (kEmits) column.out += done;
    return done;
}

// `rows` rows of one phase of a lone column. The restricted average takes its blocks by
// turns through chainBlocks and walkSparse, as the selection's density changes.
template <class Isa, bool kSelected, unsigned kMoves>
void advanceColumn(Column& column, std::int32_t rows, double divisor, double change) {
    if constexpr (walksSparse<Isa, kSelected, kMoves>) {
        bool sparse = true;
        for (std::int32_t done = 0; done < rows; sparse = !sparse) {
            done += sparse ? walkSparse<Isa, kMoves>(column, rows - done)
                           : chainBlocks<Isa, true, kMoves>(column, rows - done, divisor, change);
        }
    } else {
        chainBlocks<Isa, kSelected, kMoves>(column, rows, divisor, change);
    }
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
