// Several columns advanced together: the engine behind movingAverageColumns and
// restrictedMovingAverageColumns, written once for any instruction set.
//
// An instruction set (Isa) supplies a vector V of kLanes doubles, one lane per column,
// with lane-wise IEEE add, subtract and divide, a bitwise choice between two vectors,
// and loads and stores that move one row, or a square tile of kLanes rows, between the
// columns and the lanes. A chain is one such vector: kLanes neighbouring columns whose
// running sums advance together, each lane seeing exactly its own column's additions,
// subtractions and divisions in the column kernel's order. A group runs one or two
// chains side by side, so that their chains of dependent additions overlap in time.
//
// Every control decision (the length of each phase, the divisors, and in the restricted
// average the selection flags and the count of selected rows) depends on M, W, S and the
// selection only, never on the data, so it is the same for every lane: it is taken once
// per row in scalar code, and a column's phases become one schedule shared by all
// columns. A row that is not selected leaves the sums untouched: the result of the update
// is discarded by a bitwise choice, never masked into the data.
//
// One source per instruction set includes this header and is compiled for that target.
// Everything here has internal linkage, so that no copy built for a wider instruction set
// can be linked in where a narrower one is called.
#ifndef ZORVAN_KERNELS_COLUMN_GROUPS_H
#define ZORVAN_KERNELS_COLUMN_GROUPS_H

#include <cstddef>
#include <cstdint>

namespace {

inline std::int32_t smaller(std::int32_t a, std::int32_t b) { return a < b ? a : b; }
inline std::int32_t larger(std::int32_t a, std::int32_t b) { return a < b ? b : a; }

// What a stretch of rows does to every column.
enum class Step : unsigned char {
    enter,           // the lead row enters
    leaveEnter,      // the trail row leaves, then the lead row enters
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
    std::int64_t rows = 0;  // all stretches together: at most 2 M

    void add(Step step, std::int32_t rowCount, double divisor = 0.0, double change = 0.0) {
        if (rowCount <= 0) return;
        stretches[count++] = {step, rowCount, divisor, change};
        rows += rowCount;
    }
};

// The phases of the plain column kernel. W >= 1, S >= 0.
inline Schedule plainSchedule(std::int32_t M, std::int32_t W, std::int32_t S) {
    Schedule schedule;
    // Preload: the rows ahead of the first output row; past W rows they also leave.
    const std::int32_t preload = smaller(S, M);
    const std::int32_t filling = smaller(preload, W);
    schedule.add(Step::enter, filling);
    schedule.add(Step::leaveEnter, preload - filling);
    // Growth: the window fills from the top, divided by the rows entered so far.
    const std::int32_t full = smaller(W, M);  // the most rows a window holds
    const std::int32_t growth = larger(0, full - preload);
    schedule.add(Step::enterEmit, growth, preload + 1.0, 1.0);
    // Steady: one row leaves, one enters, divided by W.
    schedule.add(Step::leaveEnterEmit, M - preload - growth, static_cast<double>(W));
    // Tail (the last `preload` output rows): while the window had never reached W rows
    // none leaves; then one leaves per row, down to an empty window.
    const std::int32_t tail = preload;
    const std::int32_t unshrunk = smaller(larger(0, W - M), tail);
    schedule.add(Step::emit, unshrunk, static_cast<double>(full));
    const std::int32_t shrinking = smaller(full - 1, tail - unshrunk);
    schedule.add(Step::leaveEmit, shrinking, full - 1.0, -1.0);
    schedule.add(Step::fill, tail - unshrunk - shrinking);
    return schedule;
}

// The phases of the restricted column kernel. W >= 1, S >= 0.
inline Schedule restrictedSchedule(std::int32_t M, std::int32_t W, std::int32_t S) {
    Schedule schedule;
    const std::int32_t preload = smaller(S, M);
    const std::int32_t filling = smaller(preload, W);
    schedule.add(Step::enter, filling);
    schedule.add(Step::leaveEnter, preload - filling);
    const std::int32_t growth = larger(0, smaller(W, M) - preload);
    schedule.add(Step::enterEmit, growth);
    const std::int32_t steady = M - preload - growth;
    schedule.add(Step::leaveEnterEmit, steady);
    // Tail: rows leave once the window has reached W rows, and none past the column.
    const std::int32_t trail = preload - filling + steady;
    const std::int32_t tail = preload;
    const std::int32_t unshrunk = smaller(larger(0, W - M), tail);
    schedule.add(Step::emit, unshrunk);
    const std::int32_t shrinking = smaller(tail - unshrunk, M - trail);
    schedule.add(Step::leaveEmit, shrinking);
    schedule.add(Step::emit, tail - unshrunk - shrinking);
    return schedule;
}

// One chain: where its columns stand in the schedule and in their rows (the lead row
// enters next, the trail row leaves next, the output row is written next).
template <class Isa>
struct Chain {
    using V = typename Isa::V;

    const double* x = nullptr;
    const double* v = nullptr;  // the selection, restricted average only
    double* y = nullptr;
    std::size_t stride = 0;  // from one column to the next: M
    std::int32_t lead = 0, trail = 0, out = 0;
    std::int32_t selected = 0;  // selected rows in the window, restricted average only
    V sum = Isa::all(0.0);
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

// Plain average over `rows` rows of the same stretch for kCount chains: per row,
// optionally the trail row leaves (subtracted), then the lead row enters (added), then
// the output row receives sum / divisor. The chains take turns tile by tile, so that
// their additions overlap.
template <bool kLeave, bool kEnter, bool kEmit, int kCount, class Isa>
void advancePlain(Chain<Isa>* chains, std::int32_t rows, double change) {
    using V = typename Isa::V;
    constexpr int L = Isa::kLanes;
    V sum[kCount], by[kCount];
    for (int c = 0; c < kCount; ++c) {
        sum[c] = chains[c].sum;
        by[c] = Isa::all(chains[c].divisor);
    }
    // Steady windows keep their divisor; growing and shrinking ones move it by one, an
    // exact step on whole numbers.
    const bool moving = change != 0.0;
    const V step = Isa::all(change);
    auto nextDivisor = [&](int c) {
        if (moving) by[c] = Isa::add(by[c], step);
    };
    std::int32_t done = 0;
    // Whole tiles: L rows of every column at once.
    for (; rows - done >= L; done += L) {
        eachChain<kCount>([&](auto c) {
            const Chain<Isa>& chain = chains[c];
            V leaving[L], entering[L], result[L];
            if constexpr (kLeave) Isa::loadTile(chain.x + chain.trail + done, chain.stride, leaving);
            if constexpr (kEnter) Isa::loadTile(chain.x + chain.lead + done, chain.stride, entering);
            for (int r = 0; r < L; ++r) {
                if constexpr (kLeave) sum[c] = Isa::sub(sum[c], leaving[r]);
                if constexpr (kEnter) sum[c] = Isa::add(sum[c], entering[r]);
                if constexpr (kEmit) {
                    result[r] = Isa::div(sum[c], by[c]);
                    nextDivisor(c);
                }
            }
            if constexpr (kEmit) Isa::storeTile(chain.y + chain.out + done, chain.stride, result);
        });
    }
    // The rest, one row at a time.
    for (; done < rows; ++done) {
        eachChain<kCount>([&](auto c) {
            const Chain<Isa>& chain = chains[c];
            if constexpr (kLeave) {
                sum[c] = Isa::sub(sum[c], Isa::loadRow(chain.x + chain.trail + done, chain.stride));
            }
            if constexpr (kEnter) {
                sum[c] = Isa::add(sum[c], Isa::loadRow(chain.x + chain.lead + done, chain.stride));
            }
            if constexpr (kEmit) {
                Isa::storeRow(chain.y + chain.out + done, chain.stride, Isa::div(sum[c], by[c]));
                nextDivisor(c);
            }
        });
    }
    for (int c = 0; c < kCount; ++c) {
        chains[c].sum = sum[c];
        chains[c].divisor = chains[c].divisor + rows * change;
        if constexpr (kLeave) chains[c].trail += rows;
        if constexpr (kEnter) chains[c].lead += rows;
        if constexpr (kEmit) chains[c].out += rows;
    }
}

// The same value in `rows` output rows of every column of the chains.
template <int kCount, class Isa>
void fillRows(Chain<Isa>* chains, std::int32_t rows, double value) {
    for (int c = 0; c < kCount; ++c) {
        double* column = chains[c].y + chains[c].out;
        for (int lane = 0; lane < Isa::kLanes; ++lane, column += chains[c].stride) {
            for (std::int32_t r = 0; r < rows; ++r) column[r] = value;
        }
        chains[c].out += rows;
    }
}

// Restricted average over `rows` rows of the same stretch for kCount chains: per row,
// optionally the trail row leaves and the lead row enters, each only if selected; then
// the output row receives sum / selected, or its own input where the window selects
// nothing.
template <bool kLeave, bool kEnter, bool kEmit, int kCount, class Isa>
void advanceSelected(Chain<Isa>* chains, std::int32_t rows) {
    using V = typename Isa::V;
    constexpr int L = Isa::kLanes;
    V sum[kCount];
    std::int32_t selected[kCount];
    for (int c = 0; c < kCount; ++c) {
        sum[c] = chains[c].sum;
        selected[c] = chains[c].selected;
    }
    // A row's flag as a lane mask for the sums, and as 1 or 0 for the count; neither
    // depends on a branch on the data.
    auto leave = [&](int c, std::int32_t row, V value) {
        const double flag = chains[c].v[row];
        sum[c] = Isa::choose(Isa::selection(flag), Isa::sub(sum[c], value), sum[c]);
        selected[c] -= static_cast<std::int32_t>(flag != 0.0);
    };
    auto enter = [&](int c, std::int32_t row, V value) {
        const double flag = chains[c].v[row];
        sum[c] = Isa::choose(Isa::selection(flag), Isa::add(sum[c], value), sum[c]);
        selected[c] += static_cast<std::int32_t>(flag != 0.0);
    };
    std::int32_t done = 0;
    for (; rows - done >= L; done += L) {
        eachChain<kCount>([&](auto c) {
            const Chain<Isa>& chain = chains[c];
            V leaving[L], entering[L], result[L], passes[L];
            if constexpr (kLeave) Isa::loadTile(chain.x + chain.trail + done, chain.stride, leaving);
            if constexpr (kEnter) Isa::loadTile(chain.x + chain.lead + done, chain.stride, entering);
            bool anyPasses = false;
            for (int r = 0; r < L; ++r) {
                if constexpr (kLeave) leave(c, chain.trail + done + r, leaving[r]);
                if constexpr (kEnter) enter(c, chain.lead + done + r, entering[r]);
                if constexpr (kEmit) {
                    // A window without selected rows divides by zero here; its quotient
                    // is replaced by the input below.
                    const V count = Isa::all(static_cast<double>(selected[c]));
                    result[r] = Isa::div(sum[c], count);
                    passes[r] = Isa::isZero(count);
                    anyPasses = anyPasses || selected[c] == 0;
                }
            }
            if constexpr (kEmit) {
                if (anyPasses) {
                    V own[L];
                    Isa::loadTile(chain.x + chain.out + done, chain.stride, own);
                    for (int r = 0; r < L; ++r) result[r] = Isa::choose(passes[r], own[r], result[r]);
                }
                Isa::storeTile(chain.y + chain.out + done, chain.stride, result);
            }
        });
    }
    for (; done < rows; ++done) {
        eachChain<kCount>([&](auto c) {
            const Chain<Isa>& chain = chains[c];
            if constexpr (kLeave) leave(c, chain.trail + done, Isa::loadRow(chain.x + chain.trail + done, chain.stride));
            if constexpr (kEnter) enter(c, chain.lead + done, Isa::loadRow(chain.x + chain.lead + done, chain.stride));
            if constexpr (kEmit) {
                const V result = selected[c] == 0
                                     ? Isa::loadRow(chain.x + chain.out + done, chain.stride)
                                     : Isa::div(sum[c], Isa::all(static_cast<double>(selected[c])));
                Isa::storeRow(chain.y + chain.out + done, chain.stride, result);
            }
        });
    }
    for (int c = 0; c < kCount; ++c) {
        chains[c].sum = sum[c];
        chains[c].selected = selected[c];
        if constexpr (kLeave) chains[c].trail += rows;
        if constexpr (kEnter) chains[c].lead += rows;
        if constexpr (kEmit) chains[c].out += rows;
    }
}

template <bool kSelected, bool kLeave, bool kEnter, bool kEmit, int kCount, class Isa>
void advance(Chain<Isa>* chains, std::int32_t rows, double change) {
    if constexpr (kSelected) {
        advanceSelected<kLeave, kEnter, kEmit, kCount>(chains, rows);
    } else {
        advancePlain<kLeave, kEnter, kEmit, kCount>(chains, rows, change);
    }
}

// Moves kCount chains, all at the same point of the schedule, `rows` further within
// their current stretch.
template <bool kSelected, int kCount, class Isa>
void advanceInStretch(Chain<Isa>* chains, const Schedule& schedule, std::int32_t rows,
                      double emptyWindow) {
    const Stretch& stretch = schedule.stretches[chains[0].stretch];
    for (int c = 0; c < kCount; ++c) {
        if (chains[c].stretchRows == 0) chains[c].divisor = stretch.divisor;
    }
    const double change = stretch.change;
    switch (stretch.step) {
    case Step::enter: advance<kSelected, false, true, false, kCount>(chains, rows, change); break;
    case Step::leaveEnter: advance<kSelected, true, true, false, kCount>(chains, rows, change); break;
    case Step::enterEmit: advance<kSelected, false, true, true, kCount>(chains, rows, change); break;
    case Step::leaveEnterEmit: advance<kSelected, true, true, true, kCount>(chains, rows, change); break;
    case Step::emit: advance<kSelected, false, false, true, kCount>(chains, rows, change); break;
    case Step::leaveEmit: advance<kSelected, true, false, true, kCount>(chains, rows, change); break;
    case Step::fill: fillRows<kCount>(chains, rows, emptyWindow); break;
    }
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
void advanceAlone(Chain<Isa>& chain, const Schedule& schedule, std::int64_t rows,
                  double emptyWindow) {
    while (rows > 0) {
        const Stretch& stretch = schedule.stretches[chain.stretch];
        const std::int64_t left = stretch.rows - chain.stretchRows;
        const std::int32_t n = static_cast<std::int32_t>(rows < left ? rows : left);
        advanceInStretch<kSelected, 1>(&chain, schedule, n, emptyWindow);
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
    constexpr std::int64_t kPage = 4096, kNear = 512, kApart = 1024;  // bytes
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
                  const Schedule& schedule, double emptyWindow, std::int32_t lag) {
    static_assert(kChains == 1 || kChains == 2, "a group has one or two chains");
    Chain<Isa> chains[kChains];
    for (int c = 0; c < kChains; ++c) {
        const std::size_t first = static_cast<std::size_t>(c) * Isa::kLanes * stride;
        chains[c].x = x + first;
        chains[c].v = v;
        chains[c].y = y + first;
        chains[c].stride = stride;
    }
    if constexpr (kChains == 1) {
        advanceAlone<kSelected>(chains[0], schedule, schedule.rows, emptyWindow);
    } else {
        const std::int64_t head = lag < schedule.rows ? lag : schedule.rows;
        advanceAlone<kSelected>(chains[0], schedule, head, emptyWindow);
        // Until the first chain has finished, both move by the rows to the nearer end of
        // their current stretches.
        while (chains[0].stretch < schedule.count) {
            Chain<Isa>& a = chains[0];
            Chain<Isa>& b = chains[1];
            const std::int32_t leftA = schedule.stretches[a.stretch].rows - a.stretchRows;
            const std::int32_t leftB = schedule.stretches[b.stretch].rows - b.stretchRows;
            const std::int32_t n = smaller(leftA, leftB);
            if (a.stretch == b.stretch) {
                advanceInStretch<kSelected, 2>(chains, schedule, n, emptyWindow);
            } else {
                advanceInStretch<kSelected, 1>(&a, schedule, n, emptyWindow);
                advanceInStretch<kSelected, 1>(&b, schedule, n, emptyWindow);
            }
        }
        advanceAlone<kSelected>(chains[1], schedule, head, emptyWindow);
    }
}

// Whether the plain average's groups of two chains should give way to single chains.
// Beyond the caches the memory sets the pace and one chain keeps up with it; two chains
// would also keep twice as many trailing rows (W rows behind the lead, for every column)
// in flight, which for long windows no longer fit the first-level cache and come back
// from further away. (The restricted average's single chain, with its longer chain of
// dependent operations per row, gains nothing from it.)
template <class Isa>
bool preferSingleChains(std::int32_t M, std::int32_t N, std::int32_t W) {
    constexpr std::size_t kFirstLevel = 32 * 1024, kBeyondCaches = 8 * 1024 * 1024;  // bytes
    const std::size_t trailing = 2 * Isa::kLanes * static_cast<std::size_t>(smaller(W, M)) * 8;
    const std::size_t data = static_cast<std::size_t>(M) * static_cast<std::size_t>(N) * 8;
    return trailing > kFirstLevel && data >= kBeyondCaches;
}

// Columns first .. N-1 in groups of kLanes * kChains while whole groups remain; returns
// the first column left over. W >= 1, S >= 0; v is null for the plain average.
template <class Isa, int kChains>
std::int32_t averageGroups(const double* x, const double* v, double* y, std::int32_t M,
                           std::int32_t N, std::int32_t W, std::int32_t S, double emptyWindow,
                           std::int32_t first) {
    constexpr std::int32_t kColumns = Isa::kLanes * kChains;
    if (N - first < kColumns) return first;
    const std::size_t stride = static_cast<std::size_t>(M);
    const std::int32_t lag = kChains > 1 ? chainLag<Isa>(M) : 0;
    const Schedule schedule = v == nullptr ? plainSchedule(M, W, S) : restrictedSchedule(M, W, S);
    // Short columns make short streams that the processor's prefetchers barely notice
    // before they end, so the next group's input is requested ahead of time.
    const std::size_t groupCells = kColumns * stride;
    const bool prefetch = groupCells * sizeof(double) <= 32 * 1024;
    for (; N - first >= kColumns; first += kColumns) {
        const std::size_t offset = static_cast<std::size_t>(first) * stride;
        if (prefetch && N - first >= 2 * kColumns) {
            const double* next = x + offset + groupCells;
            for (std::size_t i = 0; i < groupCells; i += 8) Isa::prefetch(next + i);
        }
        if (v == nullptr) {
            averageGroup<false, Isa, kChains>(x + offset, v, y + offset, stride, schedule,
                                              emptyWindow, lag);
        } else {
            averageGroup<true, Isa, kChains>(x + offset, v, y + offset, stride, schedule,
                                             emptyWindow, lag);
        }
    }
    return first;
}

}  // namespace

#endif
