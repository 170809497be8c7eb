// A column's phases, as the column kernels in moving_average.h run them, for the engine:
// the same rows and divisors for every column of a block, since they depend on M, W and
// S only. The engine's runners receive them as calls, in the kernels' order.
#ifndef ZORVAN_KERNELS_COLUMN_PHASES_H
#define ZORVAN_KERNELS_COLUMN_PHASES_H

#include "moving_average.h"

#include <cstdint>
#include <limits>

namespace {  // internal linkage, as everything the engine is made of (column_groups.h)

inline std::int32_t smaller(std::int32_t a, std::int32_t b) { return a < b ? a : b; }
inline std::int32_t larger(std::int32_t a, std::int32_t b) { return a < b ? b : a; }

// What the plain average writes where its window holds no row. (Constants rather than
// calls: the AVX path must define no function but its entry points, see columns_avx.cpp.)
constexpr double kEmptyWindow = std::numeric_limits<double>::quiet_NaN();
constexpr std::int64_t kWholeWalk = std::numeric_limits<std::int64_t>::max();

// Output rows whose window holds no row, in one column: NaN in the plain average, the
// row's own input in the restricted one.
template <bool kSelected>
void writeEmptyRows(const double* x, double* y, std::int32_t rows) {
    for (std::int32_t r = 0; r < rows; ++r) y[r] = kSelected ? x[r] : kEmptyWindow;
}

// What a phase does to each row, as a combination of these; with none of them the window
// holds no row: the plain average writes NaN there, the restricted one the row's input.
enum Moves : unsigned {
    kNone = 0,
    kLeave = 1,  // the trail row leaves: subtracted
    kEnter = 2,  // the lead row enters: added, after the leaving one
    kEmit = 4,   // the output row is written: the sum over its divisor
};

// Where a chain or a lone column stands once it has moved `rows` rows of a phase.
template <unsigned kMoves, class Place>
void passRows(Place& place, std::int32_t rows) {
    if constexpr ((kMoves & kLeave) != 0) place.trail += rows;
    if constexpr ((kMoves & kEnter) != 0) place.lead += rows;
    if constexpr ((kMoves & kEmit) != 0) place.out += rows;
}

// The rows of each phase, in order; the lead and the trail start at `first`, the output
// row at 0. Both averages have the same phases: the restricted one differs only in its
// operands and divisors, which its selection chooses.
struct Phases {
    std::int32_t first;    // the first window's first row (rows ahead of it enter nowhere)
    std::int32_t preload;  // rows the first output row's window holds ahead of it
    std::int32_t growth;   // the window fills from the top
    std::int32_t steady;   // one row leaves, one enters
    std::int32_t unshrunk; // the tail before any row leaves: the window never held W rows
    std::int32_t shrinking;// the tail, one row leaving per output row, while any is left
    std::int32_t empty;    // the tail's windows that hold no row
    double window;         // W: the steady windows' divisor
    double full;           // the most rows a window holds

    std::int64_t rows() const {
        return std::int64_t{preload} + growth + steady + unshrunk + shrinking + empty;
    }
};

// Any M, W and S, as the column kernels take them: the engine's only check of them.
inline Phases columnPhases(std::int32_t M, std::int32_t W, std::int32_t S) {
    Phases p{};
    if (M < 1) return p;  // no rows: nothing to write
    if (W < 1) {          // every window is empty
        p.empty = M;
        return p;
    }
    if (S < 0) S = 0;  // a window cannot end before its output row
    p.first = firstWindowRow(M, W, S);
    const std::int32_t rows = M - p.first;  // the rows that enter
    p.preload = smaller(S - p.first, rows);
    const std::int32_t full = smaller(W, rows);
    p.growth = larger(0, full - p.preload);
    p.steady = rows - p.preload - p.growth;
    const std::int32_t tail = p.preload + p.first;  // output rows after the last row entered
    p.unshrunk = full > 0 ? smaller(larger(0, W - rows), tail) : 0;
    // The row whose leaving empties the window starts the empty ones.
    p.shrinking = larger(0, smaller(full - 1, tail - p.unshrunk));
    p.empty = tail - p.unshrunk - p.shrinking;
    p.window = W;
    p.full = full;
    return p;
}

// One phase's rows for a runner, clipped to the positions [from, to) of the walk (all
// phases' rows counted one after the other): run.rows<kMoves>(rows, divisor, change),
// where the plain average's divisor of the first of those rows is `divisor` and moves by
// `change` (+1, 0 or -1) per row.
template <class Runner>
struct PhaseClip {
    Runner& run;
    std::int64_t from, to, at = 0;

    template <unsigned kMoves>
    void rows(std::int32_t rows, double divisor, double change) {
        const std::int64_t start = at > from ? at : from;
        const std::int64_t end = at + rows < to ? at + rows : to;
        if (start < end) {
            run.template rows<kMoves>(static_cast<std::int32_t>(end - start),
                                      divisor + static_cast<double>(start - at) * change, change);
        }
        at += rows;
    }
};

// Walks a column's phases in the column kernel's order, positions [from, to) of them.
template <class Runner>
void runPhases(const Phases& p, Runner& run, std::int64_t from = 0,
               std::int64_t to = kWholeWalk) {
    PhaseClip<Runner> phase{run, from, to};
    phase.template rows<kEnter>(p.preload, 0.0, 0.0);
    phase.template rows<kEnter | kEmit>(p.growth, p.preload + 1.0, 1.0);
    phase.template rows<kLeave | kEnter | kEmit>(p.steady, p.window, 0.0);
    phase.template rows<kEmit>(p.unshrunk, p.full, 0.0);
    phase.template rows<kLeave | kEmit>(p.shrinking, p.full - 1.0, -1.0);
    phase.template rows<kNone>(p.empty, 0.0, 0.0);
}

}  // namespace

#endif
