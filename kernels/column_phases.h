// A column's walk, as the column kernels in moving_average.h run it, and a group's
// schedule built from it: the same rows and divisors for every column of a block, since
// they depend on M, W and S only.
#ifndef ZORVAN_KERNELS_COLUMN_PHASES_H
#define ZORVAN_KERNELS_COLUMN_PHASES_H

#include "moving_average.h"

#include <cstdint>
#include <limits>

namespace {  // internal linkage, as everything the engine is made of (column_groups.h)

inline std::int32_t smaller(std::int32_t a, std::int32_t b) { return a < b ? a : b; }
inline std::int32_t larger(std::int32_t a, std::int32_t b) { return a < b ? b : a; }

// What the plain average writes where its window holds no row. (A constant rather than a
// call: the AVX path must define no function of external linkage, see columns_avx.cpp.)
constexpr double kEmptyWindow = std::numeric_limits<double>::quiet_NaN();

// Output rows whose window holds no row, in one column: NaN in the plain average, the
// row's own input in the restricted one.
template <bool kRestricted>
void writeEmptyRows(const double* x, double* y, std::int32_t rows) {
    for (std::int32_t r = 0; r < rows; ++r) y[r] = kRestricted ? x[r] : kEmptyWindow;
}

// What a span does to each row, as a combination of these; with none of them the window
// holds no row: the plain average writes NaN there, the restricted one the row's input.
enum Moves : unsigned {
    kNone = 0,
    kLeave = 1,  // the trail row leaves: subtracted
    kEnter = 2,  // the lead row enters: added, after the leaving one
    kEmit = 4,   // the output row is written: the sum over its divisor
    kIdle = 8,   // not a move: a chain of a group that waits for its turn or is done
};

// Where a chain or a lone column stands once it has moved `rows` rows as kMoves says.
template <unsigned kMoves, class Place>
void advance(Place& place, std::int32_t rows) {
    if constexpr ((kMoves & kLeave) != 0) place.trail += rows;
    if constexpr ((kMoves & kEnter) != 0) place.lead += rows;
    if constexpr ((kMoves & kEmit) != 0) place.out += rows;
}

// How the plain average's divisor moves per row: the window grows where rows enter and
// none leave, shrinks where rows leave and none enter.
constexpr double divisorChange(unsigned moves) {
    const bool enters = (moves & kEnter) != 0, leaves = (moves & kLeave) != 0;
    return (moves & kEmit) == 0 || enters == leaves ? 0.0 : enters ? 1.0 : -1.0;
}

// Rows that move alike: the plain average divides the first by `divisor`, which moves
// by divisorChange(moves) per row. The restricted average's divisors are its counts.
struct Span {
    unsigned moves;
    std::int32_t rows;
    double divisor;
};

// A column's spans in the column kernel's order, whatever M, W and S: the preload (rows
// the first window holds ahead of its output row), the growth (the window fills from the
// top), the steady rows (one leaves, one enters), the tail before any row leaves (where
// the window never held W rows), the tail's shrinking windows and its empty ones. The
// lead and the trail start at `firstRow` (rows ahead of it enter nowhere), the output at
// 0. Both averages walk alike; the restricted one differs in its operands and divisors.
struct Walk {
    static constexpr int kSpans = 6;
    std::int32_t firstRow;
    Span spans[kSpans];

    std::int64_t rows() const {
        std::int64_t total = 0;
        for (const Span& span : spans) total += span.rows;
        return total;
    }
};

// The engine's only reading of M, W and S.
inline Walk columnWalk(std::int32_t M, std::int32_t W, std::int32_t S) {
    Walk walk{};
    for (Span& span : walk.spans) span.moves = kNone;
    if (M < 1) return walk;  // no rows: nothing to write
    if (W < 1) {             // every window is empty
        walk.spans[5].rows = M;
        return walk;
    }
    if (S < 0) S = 0;  // a window cannot end before its output row
    walk.firstRow = firstWindowRow(M, W, S);
    const std::int32_t rows = M - walk.firstRow;  // the rows that enter
    const std::int32_t preload = smaller(S - walk.firstRow, rows);
    const std::int32_t full = smaller(W, rows);  // the most rows a window holds
    const std::int32_t growth = larger(0, full - preload);
    const std::int32_t tail = preload + walk.firstRow;  // output rows after the last entered
    const std::int32_t unshrunk = full > 0 ? smaller(larger(0, W - rows), tail) : 0;
    // The row whose leaving empties the window starts the empty ones.
    const std::int32_t shrinking = larger(0, smaller(full - 1, tail - unshrunk));
    walk.spans[0] = {kEnter, preload, 0.0};
    walk.spans[1] = {kEnter | kEmit, growth, preload + 1.0};
    const std::int32_t steady = rows - preload - growth;
    walk.spans[2] = {kLeave | kEnter | kEmit, steady, static_cast<double>(W)};
    walk.spans[3] = {kEmit, unshrunk, static_cast<double>(full)};
    walk.spans[4] = {kLeave | kEmit, shrinking, full - 1.0};
    walk.spans[5] = {kNone, tail - unshrunk - shrinking, 0.0};
    return walk;
}

// What a chain does from position `at` of the walk (its spans' rows counted one after
// another) to the end of the span holding it; idle before the walk and after it.
inline Span spanAt(const Walk& walk, std::int64_t at) {
    constexpr std::int32_t kForever = std::numeric_limits<std::int32_t>::max();
    if (at < 0) return {kIdle, static_cast<std::int32_t>(-at), 0.0};  // at >= -lag
    for (const Span& span : walk.spans) {
        if (at < span.rows) {
            const double change = divisorChange(span.moves);
            const double divisor = span.divisor + static_cast<double>(at) * change;
            return {span.moves, static_cast<std::int32_t>(span.rows - at), divisor};
        }
        at -= span.rows;
    }
    return {kIdle, kForever, 0.0};
}

// A group's walk as steps of rows in which each of its two chains does one span's
// moves: the spans of both, merged where the second runs `lag` rows behind the first
// (or the same where the lag is 0, the chains then moving as one).
struct Step {
    std::int32_t rows;
    Span chain[2];  // each chain's moves and divisor over the step's rows
};

struct Schedule {
    static constexpr int kMostSteps = 2 * Walk::kSpans + 2;  // a start and an end besides
    int count = 0;
    Step steps[kMostSteps];
};

inline Schedule groupSchedule(const Walk& walk, std::int32_t lag) {
    Schedule schedule;
    const std::int64_t rows = walk.rows() + lag;
    for (std::int64_t at = 0; at < rows;) {
        Step& step = schedule.steps[schedule.count++];
        step.chain[0] = spanAt(walk, at);
        step.chain[1] = spanAt(walk, at - lag);
        step.rows = smaller(step.chain[0].rows, step.chain[1].rows);
        at += step.rows;
    }
    return schedule;
}

// f(MovesOf<kMoves>{}) with kMoves = moves, one of the walk's: the move kernels are
// compiled for each.
template <unsigned k>
struct MovesOf {
    static constexpr unsigned kMoves = k;
};

template <class F>
void withMoves(unsigned moves, F&& f) {
    switch (moves) {
        case kEnter: return f(MovesOf<kEnter>{});
        case kEnter | kEmit: return f(MovesOf<kEnter | kEmit>{});
        case kLeave | kEnter | kEmit: return f(MovesOf<kLeave | kEnter | kEmit>{});
        case kEmit: return f(MovesOf<kEmit>{});
        case kLeave | kEmit: return f(MovesOf<kLeave | kEmit>{});
        default: return f(MovesOf<kNone>{});
    }
}

}  // namespace

#endif
