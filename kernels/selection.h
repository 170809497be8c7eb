// The selection, as both runners read it (the groups' in column_chains.h, the lone
// column's in lone_column.h): a row selects where its flag has any bit set but the sign
// (!= 0.0, NaN included). Worked out in vectors of consecutive rows, off the chains: the
// masks of the leaving and entering rows' flags, the window's count of selected rows after
// each row (a running sum of whole numbers, exact in any order), the gauge of how many
// rows are flagged (how dense the selection is), and whether any row of a vector leaves or
// enters selected (where none does, a running sum and its count stand still).
//
// Where a selection is judged sparse, by the one rule sparseRows (below), and what each
// runner does then (the sizes in engine_tuning.h):
// - before the groups start, beyond the caches (sparseBeyondCaches, below): single chains;
// - the groups, after each selection block (selectBlock in column_chains.h): the next
//   blocks tile by tile as the chains move (moveSparse), while they stay sparse;
// - the lone column, as its chained passes choose the next block's operands (chainBlocks
//   in lone_column.h): the next blocks a vector at a time (walkSparse), until one is not.
// Both sparse walks are the one still/step walk below (walkStill), each runner saying what
// a step and a still vector are for it.
#ifndef ZORVAN_KERNELS_SELECTION_H
#define ZORVAN_KERNELS_SELECTION_H

#include "column_phases.h"
#include "engine_tuning.h"
#include "scalar_lanes.h"

#include <cstddef>
#include <cstdint>

// The small steps of the loops must sit inside them: a lone column's call would keep its
// running sum in memory across the call, on the chain; and a copy of its own would be
// compiled for the baseline instruction set where the compiler found two steps alike.
#if defined(_MSC_VER) && !defined(__clang__)
#define ZORVAN_ALWAYS_INLINE __forceinline
#else
#define ZORVAN_ALWAYS_INLINE inline __attribute__((always_inline))
#endif

namespace {

// What the selection does to a block of rows, the same in every lane: per row the masks
// of the leaving and the entering row's flags, the output row's divisor (the count of
// selected rows, or 1 where there is none) and a mask of the rows that pass their input
// through; per tile of kLanes rows whether any row does. Worked out in vectors of
// consecutive rows, off the chains, once for all chains that stand at those rows.
struct SelectionBlock {
    double leaveMask[kSelectionRows], enterMask[kSelectionRows];
    double divisor[kSelectionRows], passes[kSelectionRows];
    bool tilePasses[kSelectionRows];  // by tile, or by row where rows go one by one
};

// The window's count of selected rows after each of R::kLanes rows, given the masks of
// their entering and leaving flags; `count` holds the count before them in every lane,
// and after them on return. The counts are whole numbers, so their sums are exact.
template <unsigned kMoves, class R>
ZORVAN_ALWAYS_INLINE typename R::V countAfter(typename R::V entering, typename R::V leaving, typename R::V& count) {
    const typename R::V one = R::all(1.0);
    typename R::V change = R::all(0.0);
    if constexpr ((kMoves & kEnter) != 0) change = R::andBits(entering, one);
    if constexpr ((kMoves & kLeave) != 0) change = R::sub(change, R::andBits(leaving, one));
    return R::runningSum(change, count);
}

// Adds up, by lane, the selected rows among those entering (or, where none enter,
// leaving): how dense the selection is.
template <unsigned kMoves, class R>
ZORVAN_ALWAYS_INLINE void gaugeRows(typename R::V entering, typename R::V leaving, typename R::V& flagged) {
    flagged = R::add(flagged, R::andBits((kMoves & kEnter) != 0 ? entering : leaving, R::all(1.0)));
}

// Whether any of rows i .. i + R::kLanes - 1 leaves or enters selected, given the flags
// of the rows entering and leaving (only those kMoves reads). The flags' bits are or-ed
// and tested once: a flag selects where it has any bit but the sign set (!= 0.0, NaN
// included), and so does their or.
template <unsigned kMoves, class R>
ZORVAN_ALWAYS_INLINE bool anyMoves(const double* entering, const double* leaving, std::int32_t i) {
    typename R::V flags = R::all(0.0);
    if constexpr ((kMoves & kEnter) != 0) flags = R::load(entering + i);
    if constexpr ((kMoves & kLeave) != 0) flags = R::orBits(flags, R::load(leaving + i));
    return R::any(R::selected(flags));
}

// Whether rows of which `flagged` enter selected (or leave, where none enter) are sparse:
// the one density rule (engine_tuning.h).
inline bool sparseRows(double flagged, double rows) { return flagged * kSparseSpacing <= rows; }

// The still/step walk, the one way both runners move under a sparse selection: rows
// [i, end) a vector of Isa::kLanes rows at a time. Where no row of the vector leaves or
// enters selected, every operand would be +0.0, so the running sums and the count stand
// still, and so does every output row's value: still(i) writes the vector's rows, the
// quotient already worked out or, where the window selects nothing, each row's own
// input. Elsewhere step(i) takes the rows' whole steps and settles what still rows take
// from then on. Only the selection decides which. Returns the first row left (fewer than
// a vector).
template <unsigned kMoves, class Isa, class Step, class Still>
ZORVAN_ALWAYS_INLINE std::int32_t walkStill(const double* entering, const double* leaving, std::int32_t i,
                                            std::int32_t end, Step step, Still still) {
    for (; end - i >= Isa::kLanes; i += Isa::kLanes) {
        if (anyMoves<kMoves, Isa>(entering, leaving, i)) {
            step(i);
        } else {
            still(i);
        }
    }
    return i;
}

// The sum of a vector's lanes (whole numbers: exact in any order).
template <class Isa>
double laneTotal(typename Isa::V a) {
    double lanes[Isa::kLanes];
    Isa::store(lanes, a);
    double total = 0.0;
    for (double lane : lanes) total += lane;
    return total;
}

// Whether the restricted average's groups should give way to single chains: beyond the
// caches, under a selection sparse enough that most tiles stand still (the density
// rule, over the rows gauged), the rows mostly pass their input through or take one
// quotient, and the memory sets the pace: there groups of four columns kept up with it
// better than groups of eight (docs/performance.md). Only the speed depends on it, so it
// looks at stretches of rows spread over the column: reading the whole selection first
// cost 6 % of the average on 1e5 x 16.
template <class Isa>
bool sparseBeyondCaches(const double* v, std::int32_t M, std::int32_t N) {
    const std::size_t data = static_cast<std::size_t>(M) * static_cast<std::size_t>(N) * 8;
    if (data < kBeyondCaches) return false;
    constexpr std::int32_t kRows = 256, kStretches = 16;
    const bool whole = M < kRows * kStretches;
    const std::int32_t stretches = whole ? 1 : kStretches, rows = whole ? M : kRows;
    double selected = 0.0;
    for (std::int32_t k = 0; k < stretches; ++k) {
        const double* flags = v + static_cast<std::ptrdiff_t>(k) * (M / stretches);
        typename Isa::V flagged = Isa::all(0.0);
        std::int32_t r = 0;
        for (; rows - r >= Isa::kLanes; r += Isa::kLanes) {
            const typename Isa::V selectedRows = Isa::selected(Isa::load(flags + r));
            gaugeRows<kEnter, Isa>(selectedRows, selectedRows, flagged);
        }
        double rest = 0.0;
        for (; r < rows; ++r) {
            const double selectedRow = Scalar::selected(Scalar::load(flags + r));
            gaugeRows<kEnter, Scalar>(selectedRow, selectedRow, rest);
        }
        selected += laneTotal<Isa>(flagged) + rest;
    }
    return sparseRows(selected, static_cast<double>(stretches) * rows);
}

}  // namespace

#endif
