// The selection, as both restricted runners read it (the groups' in column_chains.h, the
// lone column's in lone_column.h). A row selects where its flag has any bit set but the
// sign (!= 0.0, NaN included). In vectors of consecutive rows, off the chains: the masks
// of the leaving and entering rows' flags, the window's count of selected rows after
// each row (whole numbers, exact in any order), and the rows flagged, which say how
// dense the selection is. The count belongs to the runner: one for a group of chains
// (one per chain where they run a lag apart), one for a lone column.
//
// One density rule (sparseRows) decides, as each runner goes:
// - on the AVX path beyond the caches, before the groups start (sparseBeyondCaches):
//   single chains;
// - then each runner's rows in turns (takeTurns): dense blocks have their selection worked
//   out ahead of the chains until one is sparse; sparse blocks are walked, until one is
//   not, by the one still/step walk (walkStill).
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
// And a move kernel called once per span stays out of line: inlined into the loop over a
// group's steps, it cost short columns (100 x 10000) 1.1-1.2x the time.
#if defined(_MSC_VER) && !defined(__clang__)
#define ZORVAN_ALWAYS_INLINE __forceinline
#define ZORVAN_NOINLINE __declspec(noinline)
#else
#define ZORVAN_ALWAYS_INLINE inline __attribute__((always_inline))
#define ZORVAN_NOINLINE __attribute__((noinline))
#endif

namespace {

// The empty-selection rule: a window that selects no row divides by one instead of zero,
// and its output row keeps the row's own input instead.
template <class R>
ZORVAN_ALWAYS_INLINE typename R::V selectedDivisor(typename R::V counts) {
    return R::max(counts, R::all(1.0));
}
template <class R>
ZORVAN_ALWAYS_INLINE typename R::V selectsNothing(typename R::V counts) {
    return R::isZero(counts);
}

// What rows write while the running sum and the count (the same in every lane) stand
// still: the quotient, or each row's own input where the window selects nothing (a
// branch, not a choice: those rows read no sum).
template <class R>
struct Settled {
    bool keepsInput;
    typename R::V quotient;
};
template <class R>
ZORVAN_ALWAYS_INLINE Settled<R> settle(typename R::V sum, typename R::V counts) {
    return {R::any(selectsNothing<R>(counts)), R::div(sum, selectedDivisor<R>(counts))};
}

// A block of the groups' selection, the same in every lane: per row the masks of the
// leaving and entering flags, the divisor and the mask of the rows whose window selects
// nothing (they keep their input); per tile of kLanes rows whether any does.
struct SelectionBlock {
    double leaveMask[kSelectionRows], enterMask[kSelectionRows];
    double divisor[kSelectionRows], selectsNothing[kSelectionRows];
    bool tileSelectsNothing[kSelectionRows];  // by tile, or by row where rows go one by one
};

// 1.0 where a mask is set, 0.0 elsewhere.
template <class R>
ZORVAN_ALWAYS_INLINE typename R::V ones(typename R::V mask) {
    return R::andBits(mask, R::all(1.0));
}

// The selection of R::kLanes rows: the masks of their flags, and the counts after each.
template <class R>
struct RowsSelected {
    typename R::V entering, leaving, counts;
};

// The selection of R::kLanes rows from enterRow and leaveRow of v (only those kMoves
// reads: no pointer to rows not read). `count` holds the count before them in every lane,
// and after them on return. `flagged`, if given, adds up the rows that enter selected (or
// leave, where none enter).
template <unsigned kMoves, class R>
ZORVAN_ALWAYS_INLINE RowsSelected<R> selectRows(const double* v, std::int64_t enterRow,
                                                std::int64_t leaveRow, typename R::V& count,
                                                typename R::V* flagged) {
    using V = typename R::V;
    V entering = R::all(0.0), leaving = R::all(0.0), change = R::all(0.0);
    if constexpr ((kMoves & kEnter) != 0) {
        entering = R::selecting(R::load(v + enterRow));
        change = ones<R>(entering);
    }
    if constexpr ((kMoves & kLeave) != 0) {
        leaving = R::selecting(R::load(v + leaveRow));
        change = R::sub(change, ones<R>(leaving));
    }
    if (flagged != nullptr) {
        *flagged = R::add(*flagged, ones<R>((kMoves & kEnter) != 0 ? entering : leaving));
    }
    return {entering, leaving, R::runningSum(change, count)};
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

// select(lanes, i, counts, flagged) for rows [0, n) in vectors of Isa, then one by one
// (lanes is Isa{}, then Scalar{}), `count` carried through; returns the rows flagged. (A
// call per block, not forced inline: at -O0 that kept exception cleanups in AVX code.)
template <class Isa, class Select>
double selectInVectors(std::int32_t n, double& count, const Select& select) {
    typename Isa::V counts = Isa::all(count), flagged = Isa::all(0.0);
    std::int32_t i = 0;
    for (; n - i >= Isa::kLanes; i += Isa::kLanes) select(Isa{}, i, counts, flagged);
    count = Isa::lane0(counts);  // all lanes are equal
    double rest = 0.0;
    for (; i < n; ++i) select(Scalar{}, i, count, rest);
    return laneTotal<Isa>(flagged) + rest;
}

// The one density rule: whether `rows` rows, `flagged` of them, are sparse.
inline bool sparseRows(double flagged, double rows) { return flagged * kSparseSpacing <= rows; }

// Whether a span's rows can be walked (walkStill): rows leave or enter.
template <unsigned kMoves>
constexpr bool walksStill = (kMoves & (kLeave | kEnter)) != 0;

// A runner's n rows in turns, dense and sparse, starting as `sparse` says: each turn
// does at least a block and returns the rows it did before the density changed.
template <class Dense, class Sparse>
ZORVAN_ALWAYS_INLINE void takeTurns(std::int32_t n, bool sparse, Dense dense, Sparse walk) {
    for (std::int32_t done = 0; done < n; sparse = !sparse) {
        done += sparse ? walk(n - done) : dense(n - done);
    }
}

// One turn's blocks: block(done, rows) for blocks of up to `rows` rows of n, while it
// returns true (the next block stays with this turn); returns the rows done.
template <class Block>
ZORVAN_ALWAYS_INLINE std::int32_t blocksWhile(std::int32_t n, std::int32_t rows, Block block) {
    std::int32_t done = 0;
    for (bool stays = true; stays && done < n;) {
        const std::int32_t blockRows = smaller(rows, n - done);
        stays = block(done, blockRows);
        done += blockRows;  // (done + rows could pass 2^31 - 1)
    }
    return done;
}

// Whether any of rows i .. i + R::kLanes - 1 leaves or enters selected (only the flags
// kMoves reads). The flags' or selects where any of them does: one test.
template <unsigned kMoves, class R>
ZORVAN_ALWAYS_INLINE bool anyMoves(const double* entering, const double* leaving, std::int32_t i) {
    typename R::V flags = R::all(0.0);
    if constexpr ((kMoves & kEnter) != 0) flags = R::load(entering + i);
    if constexpr ((kMoves & kLeave) != 0) flags = R::orBits(flags, R::load(leaving + i));
    return R::any(R::selecting(flags));
}

// The still/step walk, the one way both runners move under a sparse selection: rows
// [i, end) a vector at a time. Where no row of the vector leaves or enters selected, every
// operand would be +0.0: the sums, the count and every output row's value stand still,
// and still(i) writes the rows (settle). Elsewhere step(i) takes the rows' whole steps
// and settles again. Only the selection decides which. Returns the first row left.
template <unsigned kMoves, class Isa, class Step, class Still>
ZORVAN_ALWAYS_INLINE std::int32_t walkStill(const double* entering, const double* leaving,
                                            std::int32_t i, std::int32_t end, Step step,
                                            Still still) {
    for (; end - i >= Isa::kLanes; i += Isa::kLanes) {
        if (anyMoves<kMoves, Isa>(entering, leaving, i)) {
            step(i);
        } else {
            still(i);
        }
    }
    return i;
}

// Whether an M x N block is too large for the caches: there the memory sets the pace.
inline bool beyondCaches(std::int32_t M, std::int32_t N) {
    const std::size_t cells = static_cast<std::size_t>(M) * static_cast<std::size_t>(N);
    return cells * sizeof(double) >= kBeyondCaches;
}

// Whether the AVX path's restricted groups should give way to single chains: beyond the
// caches, under a sparse selection, groups of four columns kept up with the memory
// better than groups of eight. It gauges stretches spread over the column: reading the
// whole selection first cost 6 % of the average on 1e5 x 16.
template <class Isa>
bool sparseBeyondCaches(const double* v, std::int32_t M, std::int32_t N) {
    if (!beyondCaches(M, N)) return false;
    const bool whole = M < kGaugedStretchRows * kGaugedStretches;
    const std::int32_t stretches = whole ? 1 : kGaugedStretches;
    const std::int32_t rows = whole ? M : kGaugedStretchRows;
    typename Isa::V flagged = Isa::all(0.0);
    double rest = 0.0;
    for (std::int32_t k = 0; k < stretches; ++k) {
        const double* stretch = v + std::int64_t{k} * (M / stretches);
        std::int32_t i = 0;
        for (; rows - i >= Isa::kLanes; i += Isa::kLanes) {
            flagged = Isa::add(flagged, ones<Isa>(Isa::selecting(Isa::load(stretch + i))));
        }
        for (; i < rows; ++i) rest += ones<Scalar>(Scalar::selecting(stretch[i]));
    }
    return sparseRows(laneTotal<Isa>(flagged) + rest, static_cast<double>(stretches) * rows);
}

}  // namespace

#endif
