// The engine behind every column path: written once for any instruction set, and
// bit-identical to the column kernels in moving_average.h.
//
// An instruction set (Isa) supplies a vector V of kLanes doubles with lane-wise IEEE
// add, subtract, divide and maximum, comparisons that give lane masks, bitwise and, or
// and choice, a running sum across the lanes (of whole numbers only), loads, stores and
// broadcasts of consecutive doubles, and loads and stores that move one row, or a square
// tile of kLanes rows, between kLanes columns and the lanes. Each instruction set's lanes
// live in a header of their own: scalar_lanes.h (one lane), sse2_lanes.h, avx_lanes.h,
// neon_lanes.h.
//
// Several columns: a chain is one vector of kLanes neighbouring columns whose running
// sums advance together, each lane seeing exactly its own column's additions,
// subtractions and divisions in the column kernel's order. A group runs one or two
// chains side by side, so that their chains of dependent additions overlap in time.
//
// One column: its running sum is one scalar chain, and everything around it (choosing
// the operands, counting the selected rows, dividing, passing input through) runs in
// vectors of consecutive rows, block by block, off the chain.
//
// Every control decision (the length of each phase, the divisors, and in the restricted
// average the selection flags and the count of selected rows) depends on M, W, S and the
// selection only, never on the data, so it is the same for every lane: a column's phases
// become one schedule shared by all columns.
//
// The restricted average chooses operands, never results: a leaving row that is not
// selected subtracts +0.0 and an entering one adds -0.0. For every double s (both zeros,
// infinities, NaN payloads) s - (+0.0) and s + (-0.0) are s bit for bit, so the running
// sum sees exactly the column kernel's operations, and its chain is the plain one: one
// subtraction and one addition per row. (A product with a 0/1 flag would not do: NaN or
// Inf times 0 is NaN.)
//
// One source per instruction set includes this header and is compiled for that target.
// Everything here has internal linkage, so that no copy built for a wider instruction set
// can be linked in where a narrower one is called.
#ifndef ZORVAN_KERNELS_COLUMN_GROUPS_H
#define ZORVAN_KERNELS_COLUMN_GROUPS_H

#include "moving_average.h"
#include "scalar_lanes.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

// The small steps of a lone column's loop must sit inside it: a call would keep its
// running sum in memory across the call, on the chain.
#if defined(_MSC_VER) && !defined(__clang__)
#define ZORVAN_ALWAYS_INLINE __forceinline
#else
#define ZORVAN_ALWAYS_INLINE inline __attribute__((always_inline))
#endif

namespace {

// What the plain average writes where its window holds no row of the column.
constexpr double kEmptyWindow = std::numeric_limits<double>::quiet_NaN();

// ---------------------------------------------------------------------------------------
// Tuning: the sizes the engine was tuned with, in one place; the measurements behind them
// are in docs/performance.md.

// Rows of a selection block (masks, counts and divisors worked out in vectors for the
// chains at those rows). Blocks of 128 or 256 rows were no faster in the caches and
// slower beyond them.
constexpr std::int32_t kSelectionRows = 32;
// Restricted groups that advance one selection block together in the caches. Sharing one
// block among up to four groups took restricted / plain from about 1.3 to 1.25 in the
// caches, and from 1.24-1.40 to 1.04-1.16 on 100 x 10000.
constexpr int kBatch = 4;
// A block of this many bytes or more is taken as beyond the caches: restricted groups go
// one at a time there, and the plain average of long windows uses single chains.
constexpr std::size_t kBeyondCaches = 8 * 1024 * 1024;
// The first-level data cache, which two chains' trailing rows must fit for two chains to
// pay beyond the caches.
constexpr std::size_t kFirstLevel = 32 * 1024;
// Groups of at most this many bytes have the next group's input requested ahead: short
// columns make streams the prefetchers barely notice before they end.
constexpr std::size_t kPrefetchedGroup = 32 * 1024;
// The chain lag: where a group's chains sit within kNear bytes of a multiple of kPage
// apart, the second runs kApart bytes' worth of rows behind. At M = 4096 it made the
// cached shapes 1.2-4x faster; beyond the caches it changed nothing measurable.
constexpr std::int64_t kPage = 4096, kNear = 512, kApart = 1024;
// Rows per block of a lone column: the operands, sums and counts of two blocks sit in a
// few KiB of stack, in the first-level cache, between the passes over them. Cutting the
// plain average into calls of 32 rows cost 1.21x its time, of 64 rows 1.07x.
constexpr std::int32_t kBlockRows = 64;
// How far ahead of the lead and output rows a lone column requests its data: its chain of
// additions holds back how far ahead the processor reads by itself.
constexpr std::int32_t kPrefetchRows = 512;

inline std::int32_t smaller(std::int32_t a, std::int32_t b) { return a < b ? a : b; }
inline std::int32_t larger(std::int32_t a, std::int32_t b) { return a < b ? b : a; }

// What a stretch of rows does to every column.
enum class Step : unsigned char {
    enter,           // the lead row enters
    enterEmit,       // the lead row enters, then the output row is written
    leaveEnterEmit,  // leave, enter, write
    emit,            // the output row is written
    leaveEmit,       // the trail row leaves, then the output row is written
    fill,            // the output row is written with the plain average's empty window
};

struct Stretch {
    Step step;
    std::int32_t rows;
    double divisor;  // plain average: the first row's divisor, changing by `change` per row
    double change;   // +1, 0 or -1: whole numbers, so every step is exact
};

// A column's phases as stretches, the same for every column of the block.
struct Schedule {
    Stretch stretches[8];
    int count = 0;
    std::int64_t rows = 0;   // all stretches together: at most 2 M
    std::int32_t first = 0;  // where the lead and the trail start: the first window's first row

    void add(Step step, std::int32_t rowCount, double divisor = 0.0, double change = 0.0) {
        if (rowCount <= 0) return;
        stretches[count++] = {step, rowCount, divisor, change};
        rows += rowCount;
    }
};

// The phases of the plain column kernel. W >= 1, S >= 0.
inline Schedule plainSchedule(std::int32_t M, std::int32_t W, std::int32_t S) {
    Schedule schedule;
    // Rows ahead of the first window (S > W) never enter: the lead and the trail start
    // at the first window's first row, and the phases count the rows from there.
    schedule.first = firstWindowRow(M, W, S);
    const std::int32_t rows = M - schedule.first;
    // Preload: the rows ahead of the first output row that its window holds.
    const std::int32_t preload = smaller(S - schedule.first, rows);
    schedule.add(Step::enter, preload);
    // Growth: the window fills from the top, divided by the rows entered so far.
    const std::int32_t full = smaller(W, rows);  // the most rows a window holds
    const std::int32_t growth = larger(0, full - preload);
    schedule.add(Step::enterEmit, growth, preload + 1.0, 1.0);
    // Steady: one row leaves, one enters, divided by W.
    schedule.add(Step::leaveEnterEmit, rows - preload - growth, static_cast<double>(W));
    // Tail (the output rows left): while the window had never reached W rows none
    // leaves; then one leaves per row, down to an empty window.
    // Where no row enters at all (S = M, W = 1) every window is empty.
    const std::int32_t tail = preload + schedule.first;
    const std::int32_t unshrunk = full > 0 ? smaller(larger(0, W - rows), tail) : 0;
    schedule.add(Step::emit, unshrunk, static_cast<double>(full));
    const std::int32_t shrinking = full > 0 ? smaller(full - 1, tail - unshrunk) : 0;
    schedule.add(Step::leaveEmit, shrinking, full - 1.0, -1.0);
    schedule.add(Step::fill, tail - unshrunk - shrinking);
    return schedule;
}

// The phases of the restricted column kernel. W >= 1, S >= 0.
inline Schedule restrictedSchedule(std::int32_t M, std::int32_t W, std::int32_t S) {
    Schedule schedule;
    schedule.first = firstWindowRow(M, W, S);
    const std::int32_t rows = M - schedule.first;
    const std::int32_t preload = smaller(S - schedule.first, rows);
    schedule.add(Step::enter, preload);
    const std::int32_t growth = larger(0, smaller(W, rows) - preload);
    schedule.add(Step::enterEmit, growth);
    const std::int32_t steady = rows - preload - growth;
    schedule.add(Step::leaveEnterEmit, steady);
    // Tail: rows leave once the window has reached W rows, and none past the column;
    // the windows after the last row has left select nothing and pass the input through.
    const std::int32_t tail = preload + schedule.first;
    const std::int32_t unshrunk = smaller(larger(0, W - rows), tail);
    schedule.add(Step::emit, unshrunk);
    const std::int32_t shrinking = smaller(tail - unshrunk, rows - steady);
    schedule.add(Step::leaveEmit, shrinking);
    schedule.add(Step::emit, tail - unshrunk - shrinking);
    return schedule;
}

// Calls advance.template run<kLeave, kEnter, kEmit>(rows, stretch) for the step of the
// stretch, with the step's three parts as compile-time constants.
template <class Advance>
void forStep(const Stretch& stretch, std::int32_t rows, Advance&& advance) {
    switch (stretch.step) {
    case Step::enter: advance.template run<false, true, false>(rows, stretch); break;
    case Step::enterEmit: advance.template run<false, true, true>(rows, stretch); break;
    case Step::leaveEnterEmit: advance.template run<true, true, true>(rows, stretch); break;
    case Step::emit: advance.template run<false, false, true>(rows, stretch); break;
    case Step::leaveEmit: advance.template run<true, false, true>(rows, stretch); break;
    case Step::fill: advance.fill(rows); break;
    }
}

// ---------------------------------------------------------------------------------------
// Several columns at once.

// One chain: where its columns stand in the schedule and in their rows (the lead row
// enters next, the trail row leaves next, the output row is written next).
template <class Isa>
struct Chain {
    using V = typename Isa::V;

    // Written out rather than implied, so that the compiler gives it the instruction set
    // of the source it is compiled in (an implied one would take the baseline's).
    Chain() : sum(Isa::all(0.0)) {}

    const double* x = nullptr;
    const double* v = nullptr;  // the selection, restricted average only
    double* y = nullptr;
    std::size_t stride = 0;  // from one column to the next: M
    std::int32_t lead = 0, trail = 0, out = 0;
    double selected = 0.0;  // selected rows in the window, restricted average only
    V sum;
    int stretch = 0;             // current stretch of the schedule
    std::int32_t stretchRows = 0;  // rows of it already done
    double divisor = 0.0;        // the next output row's divisor, plain average only
};

// A chain's index as a compile-time constant (our own type rather than the standard
// library's, so that nothing here is shared with the other sources).
template <int kIndex>
struct ChainIndex {
    constexpr operator int() const { return kIndex; }
};

// Calls f with each chain's index as a compile-time constant, so that the chains' sums
// stay in registers instead of an array in memory.
template <int kCount, class F>
void eachChain(F&& f) {
    static_assert(kCount == 1 || kCount == 2, "one or two chains at a time");
    f(ChainIndex<0>{});
    if constexpr (kCount == 2) f(ChainIndex<1>{});
}

// What the selection does to a block of rows of a chain, the same in every lane: per row
// the masks of the leaving and the entering row's flags, the zero that an entering row
// adds where it is not selected, the output row's divisor (the count of selected rows,
// or 1 where there is none) and a mask of the rows that pass their input through; per
// tile of kLanes rows whether any row does. Worked out a block at a time in vectors of
// consecutive rows, off the chains, and shared by two chains that stand at the same rows.
struct SelectionBlock {
    double leaveMask[kSelectionRows], enterMask[kSelectionRows], enterZero[kSelectionRows];
    double divisor[kSelectionRows], passes[kSelectionRows];
    bool tilePasses[kSelectionRows];  // by tile, or by row where rows go one by one
};

// The window's count of selected rows after each of R::kLanes rows, given the masks of
// their entering and leaving flags; `count` holds the count before them in every lane,
// and after them on return. The counts are whole numbers, so their sums are exact.
template <bool kLeave, bool kEnter, class R>
ZORVAN_ALWAYS_INLINE typename R::V countAfter(typename R::V entering, typename R::V leaving,
                                              typename R::V& count) {
    const typename R::V one = R::all(1.0);
    typename R::V change = R::all(0.0);
    if constexpr (kEnter) change = R::andBits(entering, one);
    if constexpr (kLeave) change = R::sub(change, R::andBits(leaving, one));
    return R::runningSum(change, count);
}

// Rows [i, i + R::kLanes) of a block whose leaving rows start at row leaveRow of the
// flags v and entering rows at enterRow; `count` as in countAfter.
template <bool kLeave, bool kEnter, bool kEmit, class R>
ZORVAN_ALWAYS_INLINE void selectRows(const double* v, std::int32_t leaveRow, std::int32_t enterRow,
                                     std::int32_t i, typename R::V& count, SelectionBlock& block) {
    using V = typename R::V;
    const V one = R::all(1.0), zero = R::all(0.0);
    V entering = zero, leaving = zero;
    if constexpr (kEnter) {
        entering = R::selected(R::load(v + (enterRow + i)));
        R::store(block.enterMask + i, entering);
        R::store(block.enterZero + i, R::choose(entering, zero, R::all(-0.0)));
    }
    if constexpr (kLeave) {
        leaving = R::selected(R::load(v + (leaveRow + i)));
        R::store(block.leaveMask + i, leaving);
    }
    const V counts = countAfter<kLeave, kEnter, R>(entering, leaving, count);
    if constexpr (kEmit) {
        R::store(block.divisor + i, R::max(counts, one));
        const V passes = R::isZero(counts);
        R::store(block.passes + i, passes);
        block.tilePasses[i / R::kLanes] = R::any(passes);
    }
}

// The selection of rows [0, n) of a block, in vectors of Isa and the last rows one by one.
template <bool kLeave, bool kEnter, bool kEmit, class Isa>
void selectBlock(const double* v, std::int32_t leaveRow, std::int32_t enterRow, std::int32_t n,
                 double& count, SelectionBlock& block) {
    typename Isa::V counts = Isa::all(count);
    std::int32_t i = 0;
    for (; n - i >= Isa::kLanes; i += Isa::kLanes) {
        selectRows<kLeave, kEnter, kEmit, Isa>(v, leaveRow, enterRow, i, counts, block);
    }
    count = Isa::first(counts);  // all lanes are equal
    for (; i < n; ++i) selectRows<kLeave, kEnter, kEmit, Scalar>(v, leaveRow, enterRow, i, count, block);
}

// Both averages over `rows` rows of the same stretch for kCount chains: per row,
// optionally the trail row leaves (subtracted), then the lead row enters (added), then
// the output row receives sum / divisor; the restricted average (kSelected) passes the
// output row's own input through where its window selects nothing. The two averages
// differ only in how the operands and the divisors are chosen: the restricted one takes
// them from its selection blocks. The chains take turns tile by tile, so that their
// additions overlap.
template <bool kSelected, bool kLeave, bool kEnter, bool kEmit, int kCount, class Isa>
void advanceChains(Chain<Isa>* chains, std::int32_t rows, double change,
                   const SelectionBlock* given = nullptr) {
    using V = typename Isa::V;
    constexpr int L = Isa::kLanes;
    V sum[kCount], by[kCount];
    for (int c = 0; c < kCount; ++c) {
        sum[c] = chains[c].sum;
        by[c] = Isa::all(chains[c].divisor);
    }
    // The plain average's steady windows keep their divisor; growing and shrinking ones
    // move it by one, an exact step on whole numbers.
    const bool moving = change != 0.0;
    const V step = Isa::all(change);
    SelectionBlock blocks[kSelected ? kCount : 1];
    const SelectionBlock* blockOf[kCount];
    // Two chains at the same rows share their selection.
    const bool shared = kCount == 2 && chains[0].trail == chains[kCount - 1].trail &&
                        chains[0].lead == chains[kCount - 1].lead;

    // What a row subtracts and adds: its samples, or a zero that changes no sum.
    auto leaving = [&](int c, std::int32_t i, V value) {
        if constexpr (kSelected) return Isa::andBits(value, Isa::broadcast(blockOf[c]->leaveMask + i));
        else return static_cast<void>(c), static_cast<void>(i), value;
    };
    auto entering = [&](int c, std::int32_t i, V value) {
        if constexpr (kSelected) {
            return Isa::orBits(Isa::andBits(value, Isa::broadcast(blockOf[c]->enterMask + i)),
                               Isa::broadcast(blockOf[c]->enterZero + i));
        } else {
            return static_cast<void>(c), static_cast<void>(i), value;
        }
    };
    auto quotient = [&](int c, std::int32_t i) {
        if constexpr (kSelected) {
            return Isa::div(sum[c], Isa::broadcast(blockOf[c]->divisor + i));
        } else {
            static_cast<void>(i);
            const V result = Isa::div(sum[c], by[c]);
            if (moving) by[c] = Isa::add(by[c], step);
            return result;
        }
    };

    // The plain average needs no blocks: all rows in one.
    const std::int32_t blockRows = kSelected ? kSelectionRows : larger(rows, 1);
    for (std::int32_t start = 0; start < rows; start += blockRows) {
        const std::int32_t n = smaller(blockRows, rows - start);
        if constexpr (kSelected) {
            for (int c = 0; c < kCount; ++c) {
                if (given != nullptr) {  // one block, worked out for several groups
                    blockOf[c] = given;
                    continue;
                }
                if (c > 0 && shared) {
                    blockOf[c] = blockOf[0];
                    chains[c].selected = chains[0].selected;
                    continue;
                }
                selectBlock<kLeave, kEnter, kEmit, Isa>(chains[c].v, chains[c].trail + start,
                                                        chains[c].lead + start, n,
                                                        chains[c].selected, blocks[c]);
                blockOf[c] = &blocks[c];
            }
        }
        std::int32_t i = 0;  // row in the block
        // Whole tiles: L rows of every column at once.
        for (; n - i >= L; i += L) {
            const std::int32_t done = start + i;
            eachChain<kCount>([&](auto c) {
                const Chain<Isa>& chain = chains[c];
                V leave[L], enter[L], result[L];
                if constexpr (kLeave) Isa::loadTile(chain.x + chain.trail + done, chain.stride, leave);
                if constexpr (kEnter) Isa::loadTile(chain.x + chain.lead + done, chain.stride, enter);
                for (int r = 0; r < L; ++r) {
                    if constexpr (kLeave) sum[c] = Isa::sub(sum[c], leaving(c, i + r, leave[r]));
                    if constexpr (kEnter) sum[c] = Isa::add(sum[c], entering(c, i + r, enter[r]));
                    if constexpr (kEmit) result[r] = quotient(c, i + r);
                }
                if constexpr (kEmit) {
                    if constexpr (kSelected) {
                        if (blockOf[c]->tilePasses[i / L]) {
                            V own[L];
                            Isa::loadTile(chain.x + chain.out + done, chain.stride, own);
                            for (int r = 0; r < L; ++r) {
                                result[r] = Isa::choose(Isa::broadcast(blockOf[c]->passes + i + r), own[r], result[r]);
                            }
                        }
                    }
                    Isa::storeTile(chain.y + chain.out + done, chain.stride, result);
                }
            });
        }
        // The rest, one row at a time.
        for (; i < n; ++i) {
            const std::int32_t done = start + i;
            eachChain<kCount>([&](auto c) {
                const Chain<Isa>& chain = chains[c];
                if constexpr (kLeave) {
                    sum[c] = Isa::sub(sum[c], leaving(c, i, Isa::loadRow(chain.x + chain.trail + done, chain.stride)));
                }
                if constexpr (kEnter) {
                    sum[c] = Isa::add(sum[c], entering(c, i, Isa::loadRow(chain.x + chain.lead + done, chain.stride)));
                }
                if constexpr (kEmit) {
                    V result = quotient(c, i);
                    if constexpr (kSelected) {
                        result = Isa::choose(Isa::broadcast(blockOf[c]->passes + i),
                                             Isa::loadRow(chain.x + chain.out + done, chain.stride), result);
                    }
                    Isa::storeRow(chain.y + chain.out + done, chain.stride, result);
                }
            });
        }
    }
    for (int c = 0; c < kCount; ++c) {
        chains[c].sum = sum[c];
        chains[c].divisor = chains[c].divisor + rows * change;
        if constexpr (kLeave) chains[c].trail += rows;
        if constexpr (kEnter) chains[c].lead += rows;
        if constexpr (kEmit) chains[c].out += rows;
    }
}

// What a step does to kCount chains that stand at the same point of the schedule.
template <bool kSelected, int kCount, class Isa>
struct ChainSteps {
    Chain<Isa>* chains;

    template <bool kLeave, bool kEnter, bool kEmit>
    void run(std::int32_t rows, const Stretch& stretch) {
        advanceChains<kSelected, kLeave, kEnter, kEmit, kCount>(chains, rows, stretch.change);
    }
    // The same value in `rows` output rows of every column of the chains.
    void fill(std::int32_t rows) {
        for (int c = 0; c < kCount; ++c) {
            double* column = chains[c].y + chains[c].out;
            for (int lane = 0; lane < Isa::kLanes; ++lane, column += chains[c].stride) {
                for (std::int32_t r = 0; r < rows; ++r) column[r] = kEmptyWindow;
            }
            chains[c].out += rows;
        }
    }
};

// Moves kCount chains, all at the same point of the schedule, `rows` further within
// their current stretch.
template <bool kSelected, int kCount, class Isa>
void advanceInStretch(Chain<Isa>* chains, const Schedule& schedule, std::int32_t rows) {
    const Stretch& stretch = schedule.stretches[chains[0].stretch];
    for (int c = 0; c < kCount; ++c) {
        if (chains[c].stretchRows == 0) chains[c].divisor = stretch.divisor;
    }
    forStep(stretch, rows, ChainSteps<kSelected, kCount, Isa>{chains});
    for (int c = 0; c < kCount; ++c) {
        chains[c].stretchRows += rows;
        if (chains[c].stretchRows == stretch.rows) {
            ++chains[c].stretch;
            chains[c].stretchRows = 0;
        }
    }
}

// Moves one chain `rows` further through the schedule, across stretches as needed.
template <bool kSelected, class Isa>
void advanceAlone(Chain<Isa>& chain, const Schedule& schedule, std::int64_t rows) {
    while (rows > 0) {
        const Stretch& stretch = schedule.stretches[chain.stretch];
        const std::int64_t left = stretch.rows - chain.stretchRows;
        const std::int32_t n = static_cast<std::int32_t>(rows < left ? rows : left);
        advanceInStretch<kSelected, 1>(&chain, schedule, n);
        rows -= n;
    }
}

// How many rows the second chain of a group runs behind the first. The chains' columns
// sit kLanes columns apart; when that distance is close to a multiple of 4 KiB (M a
// multiple of 512, say) the rows they work on would share the same few cache sets and
// evict each other's lines between two tiles, so the second chain runs far enough
// behind to work 1 KiB further on in the sets.
template <class Isa>
std::int32_t chainLag(std::int32_t M) {
    const std::int64_t distance = static_cast<std::int64_t>(M) * Isa::kLanes * 8;
    std::int64_t offset = distance % kPage;  // where the second chain sits, in (-2048, 2048]
    if (offset > kPage / 2) offset -= kPage;
    if (offset <= -kNear || offset >= kNear) return 0;
    const std::int32_t lag = static_cast<std::int32_t>((kApart - offset) / 8);
    // A short column gains little from it.
    return M >= 8 * lag ? lag : 0;
}

// One group: one or two chains of kLanes neighbouring columns, starting at x and y.
// Two chains advance together wherever they are in the same stretch of the schedule;
// with a lag, the second starts `lag` rows after the first, and wherever they stand in
// different stretches each moves on its own.
template <bool kSelected, class Isa, int kChains>
void averageGroup(const double* x, const double* v, double* y, std::size_t stride,
                  const Schedule& schedule, std::int32_t lag) {
    static_assert(kChains == 1 || kChains == 2, "a group has one or two chains");
    Chain<Isa> chains[kChains];
    for (int c = 0; c < kChains; ++c) {
        const std::size_t first = static_cast<std::size_t>(c) * Isa::kLanes * stride;
        chains[c].x = x + first;
        chains[c].v = v;
        chains[c].y = y + first;
        chains[c].stride = stride;
        chains[c].lead = chains[c].trail = schedule.first;
    }
    if constexpr (kChains == 1) {
        advanceAlone<kSelected>(chains[0], schedule, schedule.rows);
    } else {
        const std::int64_t head = lag < schedule.rows ? lag : schedule.rows;
        advanceAlone<kSelected>(chains[0], schedule, head);
        // Until the first chain has finished, both move by the rows to the nearer end of
        // their current stretches.
        while (chains[0].stretch < schedule.count) {
            Chain<Isa>& a = chains[0];
            Chain<Isa>& b = chains[1];
            const std::int32_t leftA = schedule.stretches[a.stretch].rows - a.stretchRows;
            const std::int32_t leftB = schedule.stretches[b.stretch].rows - b.stretchRows;
            const std::int32_t n = smaller(leftA, leftB);
            if (a.stretch == b.stretch) {
                advanceInStretch<kSelected, 2>(chains, schedule, n);
            } else {
                advanceInStretch<kSelected, 1>(&a, schedule, n);
                advanceInStretch<kSelected, 1>(&b, schedule, n);
            }
        }
        advanceAlone<kSelected>(chains[1], schedule, head);
    }
}

// Whether the plain average's groups of two chains should give way to single chains.
// Beyond the caches the memory sets the pace and one chain keeps up with it; two chains
// would also keep twice as many trailing rows (W rows behind the lead, for every column)
// in flight, which for long windows no longer fit the first-level cache and come back
// from further away.
template <class Isa>
bool preferSingleChains(std::int32_t M, std::int32_t N, std::int32_t W) {
    const std::size_t trailing = 2 * Isa::kLanes * static_cast<std::size_t>(smaller(W, M)) * 8;
    const std::size_t data = static_cast<std::size_t>(M) * static_cast<std::size_t>(N) * 8;
    return trailing > kFirstLevel && data >= kBeyondCaches;
}

// The restricted average's groups of two chains, up to kBatch of them side by side,
// advanced a selection block at a time so that one block serves them all: the
// selection is the same for every column. (Only where the chains of a group need not
// run apart: with the lag, the rows of more groups would fight for the same sets.)
template <class Isa>
struct BatchSteps {
    Chain<Isa> (*groups)[2];
    int count;
    const double* v;
    std::int32_t& trail;
    std::int32_t& lead;
    double& selected;

    template <bool kLeave, bool kEnter, bool kEmit>
    void run(std::int32_t rows, const Stretch& stretch) {
        SelectionBlock block;
        for (std::int32_t start = 0; start < rows; start += kSelectionRows) {
            const std::int32_t n = smaller(kSelectionRows, rows - start);
            selectBlock<kLeave, kEnter, kEmit, Isa>(v, trail, lead, n, selected, block);
            for (int g = 0; g < count; ++g) {
                advanceChains<true, kLeave, kEnter, kEmit, 2>(groups[g], n, stretch.change, &block);
            }
            if (kLeave) trail += n;
            if (kEnter) lead += n;
        }
    }
    void fill(std::int32_t /*rows*/) {}  // the restricted schedule has no empty windows to fill
};

template <class Isa>
void averageGroupBatch(const double* x, const double* v, double* y, std::size_t stride,
                       const Schedule& schedule, int count) {
    Chain<Isa> groups[kBatch][2];
    for (int g = 0; g < count; ++g) {
        for (int c = 0; c < 2; ++c) {
            const std::size_t first = static_cast<std::size_t>(2 * g + c) * Isa::kLanes * stride;
            groups[g][c].x = x + first;
            groups[g][c].v = v;
            groups[g][c].y = y + first;
            groups[g][c].stride = stride;
            groups[g][c].lead = groups[g][c].trail = schedule.first;
        }
    }
    std::int32_t trail = schedule.first, lead = schedule.first;
    double selected = 0.0;
    for (int i = 0; i < schedule.count; ++i) {
        const Stretch& stretch = schedule.stretches[i];
        forStep(stretch, stretch.rows, BatchSteps<Isa>{groups, count, v, trail, lead, selected});
    }
}

// Columns first .. N-1 in groups of kLanes * kChains while whole groups remain; returns
// the first column left over. W >= 1, S >= 0; v is null for the plain average.
template <class Isa, int kChains>
std::int32_t averageGroups(const double* x, const double* v, double* y, std::int32_t M,
                           std::int32_t N, const Schedule& schedule,
                           std::int32_t first) {
    constexpr std::int32_t kColumns = Isa::kLanes * kChains;
    if (N - first < kColumns) return first;
    const std::size_t stride = static_cast<std::size_t>(M);
    const std::int32_t lag = kChains > 1 ? chainLag<Isa>(M) : 0;
    // Short columns make short streams that the processor's prefetchers barely notice
    // before they end, so the next group's input is requested ahead of time.
    const std::size_t groupCells = kColumns * stride;
    const bool prefetch = groupCells * sizeof(double) <= kPrefetchedGroup;
    // Beyond the caches the streams of several groups at once would outnumber what the
    // prefetchers follow; there the restricted average runs a group at a time.
    const bool batchInCache = static_cast<std::size_t>(N) * stride * sizeof(double) < kBeyondCaches;
    for (; N - first >= kColumns; first += kColumns) {
        const std::size_t offset = static_cast<std::size_t>(first) * stride;
        if (prefetch && N - first >= 2 * kColumns) {
            const double* next = x + offset + groupCells;
            for (std::size_t i = 0; i < groupCells; i += 8) Isa::prefetch(next + i);
        }
        if (v == nullptr) {
            averageGroup<false, Isa, kChains>(x + offset, v, y + offset, stride, schedule, lag);
        } else if (kChains == 2 && lag == 0 && batchInCache) {
            const int count = static_cast<int>(smaller(kBatch, (N - first) / kColumns));
            averageGroupBatch<Isa>(x + offset, v, y + offset, stride, schedule, count);
            first += (count - 1) * kColumns;
        } else {
            averageGroup<true, Isa, kChains>(x + offset, v, y + offset, stride, schedule, lag);
        }
    }
    return first;
}

// ---------------------------------------------------------------------------------------
// One column alone.

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

// One block of a lone column: the column, and the block's first row in the stretch.
// Pointers are formed only to rows that are read or written.
struct BlockRows {
    const Column* column;
    std::int32_t first;

    const double* leavingX(std::int32_t r) const { return column->x + (column->trail + first + r); }
    const double* leavingV(std::int32_t r) const { return column->v + (column->trail + first + r); }
    const double* enteringX(std::int32_t r) const { return column->x + (column->lead + first + r); }
    const double* enteringV(std::int32_t r) const { return column->v + (column->lead + first + r); }
    // The output row, and its own input (passed through where nothing is selected).
    const double* ownX(std::int32_t r) const { return column->x + (column->out + first + r); }
    double* y(std::int32_t r) const { return column->y + (column->out + first + r); }
};

// The operands of rows r .. r + R::kLanes - 1 of a block, in one vector of R: a leaving
// row's sample or +0.0, an entering row's sample or -0.0, and the count of selected rows
// in the window after each row (`count` as in countAfter).
template <bool kLeave, bool kEnter, class R>
ZORVAN_ALWAYS_INLINE void chooseOperands(const BlockRows& at, std::int32_t r, double* leave,
                                         double* enter, double* counts, typename R::V& count) {
    using V = typename R::V;
    V entering = R::all(0.0), leaving = R::all(0.0);
    if constexpr (kEnter) {
        entering = R::selected(R::load(at.enteringV(r)));
        R::store(enter + r, R::choose(entering, R::load(at.enteringX(r)), R::all(-0.0)));
    }
    if constexpr (kLeave) {
        leaving = R::selected(R::load(at.leavingV(r)));
        R::store(leave + r, R::andBits(R::load(at.leavingX(r)), leaving));
    }
    R::store(counts + r, countAfter<kLeave, kEnter, R>(entering, leaving, count));
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

// `rows` rows of one stretch of a lone column, in blocks of kBlockRows rows. Each block
// has three passes: its operands are chosen (restricted average only; the plain one adds
// its samples as they are), its chain runs (the only dependent operations), and its
// outputs are written. The passes of neighbouring blocks are interleaved a vector at a
// time: while the chain of block b runs, the operands of block b + 1 are chosen and the
// outputs of block b - 1 are written, so that the processor, waiting on the chain, always
// has independent work in view; and every pass reads what was stored a block ago.
template <bool kSelected, bool kLeave, bool kEnter, bool kEmit, class Isa>
void advanceColumn(Column& column, std::int32_t rows, double divisor, double change) {
    constexpr bool kChoose = kSelected && (kLeave || kEnter);
    constexpr std::int32_t L = Isa::kLanes, B = kBlockRows;
    static_assert(B % L == 0, "blocks of whole vectors");
    double leave[2][B], enter[2][B], sums[2][B], counts[2][B];
    const std::int32_t M = column.M;
    auto blockAt = [&](std::int32_t first) { return BlockRows{&column, first}; };
    // The count of selected rows, carried from block to block by the pass that chooses
    // the operands, a block ahead of the chain.
    typename Isa::V count = Isa::all(column.selected);
    // Rows [first, last) of a block in one pass: vectors, then single rows.
    auto chooseAll = [&](const BlockRows& at, std::int32_t n, int k) {
        std::int32_t r = 0;
        for (; n - r >= L; r += L) chooseOperands<kLeave, kEnter, Isa>(at, r, leave[k], enter[k], counts[k], count);
        if (r < n) {
            double single = Isa::first(count);
            for (; r < n; ++r) chooseOperands<kLeave, kEnter, Scalar>(at, r, leave[k], enter[k], counts[k], single);
            count = Isa::all(single);
        }
    };
    auto emitAll = [&](const BlockRows& at, std::int32_t n, int k) {
        std::int32_t r = 0;
        for (; n - r >= L; r += L) emitRows<kSelected, Isa>(at, r, sums[k], counts[k], divisor, change);
        for (; r < n; ++r) emitRows<kSelected, Scalar>(at, r, sums[k], counts[k], divisor, change);
    };

    double sum = column.sum;
    const double selected = column.selected;  // where no row leaves or enters
    if constexpr (kChoose) chooseAll(blockAt(0), smaller(B, rows), 0);
    for (std::int32_t done = 0, k = 0; done < rows; done += B, k ^= 1) {
        const std::int32_t n = smaller(B, rows - done);
        const std::int32_t nextRows = larger(0, smaller(B, rows - done - B));
        // Requests for the data a few blocks on, inside the column only.
        const BlockRows ahead = blockAt(done + kPrefetchRows);
        for (std::int32_t r = 0; r < n; r += 8) {
            if (kEnter && column.lead + done + kPrefetchRows + r < M) {
                Isa::prefetch(ahead.enteringX(r));
                if (kSelected) Isa::prefetch(ahead.enteringV(r));
            }
            if (kEmit && column.out + done + kPrefetchRows + r < M) Isa::prefetch(ahead.y(r));
        }
        const BlockRows here = blockAt(done), previous = blockAt(done - B), next = blockAt(done + B);
        const double* leaving = kChoose ? leave[k] : kLeave ? here.leavingX(0) : nullptr;
        const double* entering = kChoose ? enter[k] : kEnter ? here.enteringX(0) : nullptr;
        double* blockSums = sums[k];
        double* blockCounts = counts[k];
        auto chain = [&](std::int32_t r) {
            if constexpr (kLeave) sum = sum - leaving[r];
            if constexpr (kEnter) sum = sum + entering[r];
            if constexpr (kEmit) blockSums[r] = sum;
            if constexpr (kSelected && kEmit && !kChoose) blockCounts[r] = selected;
        };
        if (n == B && nextRows == B && done > 0) {
            // A whole block between two whole ones: the three passes interleaved.
            for (std::int32_t r = 0; r < B; r += L) {
                for (std::int32_t i = 0; i < L; ++i) chain(r + i);
                if constexpr (kEmit) emitRows<kSelected, Isa>(previous, r, sums[k ^ 1], counts[k ^ 1], divisor, change);
                if constexpr (kChoose) chooseOperands<kLeave, kEnter, Isa>(next, r, leave[k ^ 1], enter[k ^ 1], counts[k ^ 1], count);
            }
        } else {
            // The first and the last blocks: one pass after the other.
            for (std::int32_t r = 0; r < n; ++r) chain(r);
            if constexpr (kEmit) {
                if (done > 0) emitAll(previous, B, k ^ 1);
            }
            if constexpr (kChoose) chooseAll(next, nextRows, k ^ 1);
        }
        if (done + B >= rows) {
            if constexpr (kEmit) emitAll(here, n, k);
        }
    }
    column.sum = sum;
    if constexpr (kChoose) column.selected = Isa::first(count);
    if constexpr (kLeave) column.trail += rows;
    if constexpr (kEnter) column.lead += rows;
    if constexpr (kEmit) column.out += rows;
}

// What a step does to a lone column.
template <bool kSelected, class Isa>
struct ColumnSteps {
    Column& column;

    template <bool kLeave, bool kEnter, bool kEmit>
    void run(std::int32_t rows, const Stretch& stretch) {
        advanceColumn<kSelected, kLeave, kEnter, kEmit, Isa>(column, rows, stretch.divisor,
                                                             stretch.change);
    }
    void fill(std::int32_t rows) {
        for (std::int32_t r = 0; r < rows; ++r) column.y[column.out + r] = kEmptyWindow;
        column.out += rows;
    }
};

// One column of M rows through the whole schedule.
template <bool kSelected, class Isa>
void averageColumn(const double* x, const double* v, double* y, std::int32_t M,
                   const Schedule& schedule) {
    Column column{x, v, y, M};
    column.lead = column.trail = schedule.first;
    for (int i = 0; i < schedule.count; ++i) {
        const Stretch& stretch = schedule.stretches[i];
        forStep(stretch, stretch.rows, ColumnSteps<kSelected, Isa>{column});
    }
}

// ---------------------------------------------------------------------------------------
// A whole block: groups of Wide's lanes (two chains, then one), then groups of Narrow's,
// then every column left over on its own, its rows in Wide's vectors. M >= 1, W >= 1,
// S >= 0; v is null for the plain average. With `twoChainsEverywhere` false the plain
// average of long windows beyond the caches runs Wide in single chains only.
template <class Wide, class Narrow>
void averageBlock(const double* x, const double* v, double* y, std::int32_t M, std::int32_t N,
                  std::int32_t W, std::int32_t S, bool twoChainsEverywhere) {
    const Schedule schedule = v == nullptr ? plainSchedule(M, W, S) : restrictedSchedule(M, W, S);
    std::int32_t next = 0;
    if (v != nullptr || twoChainsEverywhere || !preferSingleChains<Wide>(M, N, W)) {
        next = averageGroups<Wide, 2>(x, v, y, M, N, schedule, next);
    }
    next = averageGroups<Wide, 1>(x, v, y, M, N, schedule, next);
    if constexpr (Narrow::kLanes < Wide::kLanes) {
        next = averageGroups<Narrow, 2>(x, v, y, M, N, schedule, next);
        next = averageGroups<Narrow, 1>(x, v, y, M, N, schedule, next);
    }
    for (; next < N; ++next) {
        const std::size_t offset = static_cast<std::size_t>(next) * static_cast<std::size_t>(M);
        if (v == nullptr) {
            averageColumn<false, Wide>(x + offset, v, y + offset, M, schedule);
        } else {
            averageColumn<true, Wide>(x + offset, v, y + offset, M, schedule);
        }
    }
}

}  // namespace

#endif
