// Several columns at once (see column_groups.h): chains of kLanes neighbouring columns,
// in groups of one or two chains, each group walking its schedule (column_phases.h).
#ifndef ZORVAN_KERNELS_COLUMN_CHAINS_H
#define ZORVAN_KERNELS_COLUMN_CHAINS_H

#include "column_phases.h"
#include "engine_tuning.h"
#include "scalar_lanes.h"
#include "selection.h"

#include <cstddef>
#include <cstdint>

namespace {

// One chain: kLanes neighbouring columns, a column stride apart, whose running sums
// advance together, and the rows that enter, leave and are written next.
template <class Isa>
struct Chain {
    Chain() : sum(Isa::all(0.0)) {}  // not implied: that one would be the baseline's code

    const double* x = nullptr;
    double* y = nullptr;
    std::int32_t lead = 0, trail = 0, out = 0;
    typename Isa::V sum;
};

// Rows i .. i + R::kLanes - 1 of the chain's selection block (selectRows).
template <unsigned kMoves, class R, class Isa>
ZORVAN_ALWAYS_INLINE void selectBlockRows(const double* v, const Chain<Isa>& chain,
                                          std::int32_t i, typename R::V& counts,
                                          typename R::V& flagged, SelectionBlock& block) {
    const RowsSelected<R> rows =
        selectRows<kMoves, R>(v, chain.lead + i, chain.trail + i, counts, &flagged);
    if constexpr ((kMoves & kEnter) != 0) R::store(block.enterMask + i, rows.entering);
    if constexpr ((kMoves & kLeave) != 0) R::store(block.leaveMask + i, rows.leaving);
    if constexpr ((kMoves & kEmit) != 0) {
        R::store(block.divisor + i, selectedDivisor<R>(rows.counts));
        const typename R::V nothing = selectsNothing<R>(rows.counts);
        R::store(block.selectsNothing + i, nothing);
        block.tileSelectsNothing[i / R::kLanes] = R::any(nothing);
    }
}

// One chain's rows, as kMoves says: per row the trail row leaves, the lead row enters,
// the output row receives sum / divisor (the plain average's moving by kChange per row,
// the restricted average's from its selection block, which also masks the operands).
template <class Isa, bool kRestricted, unsigned kMoves>
class ChainMover {
public:
    using V = typename Isa::V;
    static constexpr int L = Isa::kLanes;
    static constexpr bool kLeaves = (kMoves & kLeave) != 0, kEnters = (kMoves & kEnter) != 0;
    static constexpr bool kEmits = (kMoves & kEmit) != 0;
    static constexpr double kChange = divisorChange(kMoves);

    // Pointers of this call's own, which the compiler need not read again after a store.
    ZORVAN_ALWAYS_INLINE ChainMover(const Chain<Isa>& chain, std::size_t stride,
                                    const SelectionBlock* block, V& sum, V& divisor)
        : leave_(chain.x + chain.trail), enter_(chain.x + chain.lead), own_(chain.x + chain.out),
          y_(chain.y + chain.out), stride_(stride), block_(block), sum_(sum),
          divisor_(divisor) {}

    // Rows i .. i + L - 1 of every lane at once. (Forced inline: left out of line, the
    // sums went through memory, 3x the time.)
    ZORVAN_ALWAYS_INLINE void tile(std::int32_t i) {
        V leave[L], enter[L], result[L];
        if constexpr (kLeaves) Isa::loadTile(leave_ + i, stride_, leave);
        if constexpr (kEnters) Isa::loadTile(enter_ + i, stride_, enter);
        for (int r = 0; r < L; ++r) {
            if constexpr (kLeaves) sum_ = Isa::sub(sum_, leaving(i + r, leave[r]));
            if constexpr (kEnters) sum_ = Isa::add(sum_, entering(i + r, enter[r]));
            if constexpr (kEmits) result[r] = quotient(i + r);
        }
        if constexpr (kEmits) {
            if (kRestricted && block_->tileSelectsNothing[i / L]) {
                V own[L];
                Isa::loadTile(own_ + i, stride_, own);
                for (int r = 0; r < L; ++r) {
                    result[r] = Isa::choose(nothingSelected(i + r), own[r], result[r]);
                }
            }
            Isa::storeTile(y_ + i, stride_, result);
        }
    }

    // Still rows i .. i + L - 1 (walkStill): their input, or each lane's quotient, as
    // spread() gave it. (Stepped column to column: offsets for every lane would leave too
    // few registers.)
    ZORVAN_ALWAYS_INLINE void stillInput(std::int32_t i) {
        if constexpr (kEmits) {
            const double* own = own_ + i;
            double* y = y_ + i;
            for (int lane = 0; lane < L; ++lane, own += stride_, y += stride_) {
                Isa::store(y, Isa::load(own));
            }
        }
    }
    ZORVAN_ALWAYS_INLINE void stillQuotient(std::int32_t i, const V* quotients) {
        if constexpr (kEmits) {
            double* y = y_ + i;
            for (int lane = 0; lane < L; ++lane, y += stride_) Isa::store(y, quotients[lane]);
        }
    }
    // Each lane of `quotient` across a vector of its own.
    ZORVAN_ALWAYS_INLINE static void spread(V quotient, V* quotients) {
        double lanes[L];
        Isa::store(lanes, quotient);
        for (int lane = 0; lane < L; ++lane) quotients[lane] = Isa::all(lanes[lane]);
    }

    // Row i alone.
    ZORVAN_ALWAYS_INLINE void row(std::int32_t i) {
        if constexpr (kLeaves) sum_ = Isa::sub(sum_, leaving(i, Isa::loadRow(leave_ + i, stride_)));
        if constexpr (kEnters) {
            sum_ = Isa::add(sum_, entering(i, Isa::loadRow(enter_ + i, stride_)));
        }
        if constexpr (kEmits) {
            V result = quotient(i);
            if constexpr (kRestricted) {
                result = Isa::choose(nothingSelected(i), Isa::loadRow(own_ + i, stride_), result);
            }
            Isa::storeRow(y_ + i, stride_, result);
        }
    }

private:
    // What a row subtracts or adds: its samples, or +0.0 where it is not selected. (All
    // forced inline: a copy out of line could be shared with a narrower path's.)
    ZORVAN_ALWAYS_INLINE V leaving(std::int32_t i, V value) const {
        if constexpr (kRestricted) return Isa::andBits(value, Isa::all(block_->leaveMask[i]));
        else return static_cast<void>(i), value;
    }
    ZORVAN_ALWAYS_INLINE V entering(std::int32_t i, V value) const {
        if constexpr (kRestricted) return Isa::andBits(value, Isa::all(block_->enterMask[i]));
        else return static_cast<void>(i), value;
    }
    ZORVAN_ALWAYS_INLINE V nothingSelected(std::int32_t i) const {
        return Isa::all(block_->selectsNothing[i]);
    }
    ZORVAN_ALWAYS_INLINE V quotient(std::int32_t i) {
        if constexpr (kRestricted) return Isa::div(sum_, Isa::all(block_->divisor[i]));
        const V result = Isa::div(sum_, divisor_);
        // (A constant of the moves: as data, a branch per row cost short columns 1.13x.)
        if constexpr (kChange != 0.0) divisor_ = Isa::add(divisor_, Isa::all(kChange));
        return result;
    }

    const double *leave_, *enter_, *own_;  // the trail, lead and output rows' input
    double* y_;
    std::size_t stride_;
    const SelectionBlock* block_;  // restricted average only
    V& sum_;
    V& divisor_;  // plain average only: the next output row's
};

// Where kCount chains stand once they have moved `rows` rows, reaching the sums `sum`.
template <unsigned kMoves, int kCount, class Isa>
ZORVAN_ALWAYS_INLINE void finishChains(Chain<Isa>* chains, const typename Isa::V* sum,
                                       std::int32_t rows) {
    for (int c = 0; c < kCount; ++c) {
        chains[c].sum = sum[c];
        advance<kMoves>(chains[c], rows);
    }
}

// Moves kCount chains `rows` rows, by turns tile by tile so that their additions overlap:
// the plain average's divisors from each chain's span, the restricted average's rows at
// most a block, each chain's selection in its block.
template <class Isa, bool kRestricted, unsigned kMoves, int kCount>
ZORVAN_NOINLINE void moveChains(Chain<Isa>* chains, std::size_t stride, std::int32_t rows,
                                const Span* spans, const SelectionBlock* firstBlock,
                                const SelectionBlock* lastBlock) {
    static_assert(kCount == 1 || kCount == 2, "one or two chains at a time");
    constexpr int kLast = kCount - 1;
    typename Isa::V sum[kCount], divisor[kCount];
    for (int c = 0; c < kCount; ++c) {
        sum[c] = chains[c].sum;
        divisor[c] = Isa::all(kRestricted ? 1.0 : spans[c].divisor);
    }
    using Mover = ChainMover<Isa, kRestricted, kMoves>;
    Mover first(chains[0], stride, firstBlock, sum[0], divisor[0]);
    Mover last(chains[kLast], stride, lastBlock, sum[kLast], divisor[kLast]);
    std::int32_t i = 0;
    for (; rows - i >= Isa::kLanes; i += Isa::kLanes) {
        first.tile(i);
        if constexpr (kCount == 2) last.tile(i);
    }
    for (; i < rows; ++i) {
        first.row(i);
        if constexpr (kCount == 2) last.row(i);
    }
    finishChains<kMoves, kCount>(chains, sum, rows);
}

// Moves kCount chains `rows` rows (at most a block) by the still/step walk: only tiles
// where a row leaves or enters selected get their selection (in `block`) and move the
// chains. `count` moves past the rows; returns the rows flagged.
template <class Isa, unsigned kMoves, int kCount>
double moveSparse(Chain<Isa>* chains, std::size_t stride, const double* v, std::int32_t rows,
                  double& count, SelectionBlock& block) {
    using V = typename Isa::V;
    using Mover = ChainMover<Isa, true, kMoves>;
    constexpr int kLast = kCount - 1;
    V sum[kCount], divisor[kCount];  // (the divisors are the plain average's)
    for (int c = 0; c < kCount; ++c) sum[c] = chains[c].sum;
    Mover first(chains[0], stride, &block, sum[0], divisor[0]);
    Mover last(chains[kLast], stride, &block, sum[kLast], divisor[kLast]);
    const Chain<Isa>& chain = chains[0];  // where all of them stand
    V counts = Isa::all(count), quotients[kCount][Isa::kLanes];
    bool keepsInput = false;
    const auto settleStill = [&] {
        for (int c = 0; c < kCount; ++c) {
            const Settled<Isa> still = settle<Isa>(sum[c], counts);
            keepsInput = still.keepsInput;
            Mover::spread(still.quotient, quotients[c]);
        }
    };
    settleStill();
    V flagged = Isa::all(0.0);
    const auto step = [&](std::int32_t r) {
        selectBlockRows<kMoves, Isa>(v, chain, r, counts, flagged, block);
        first.tile(r);
        if constexpr (kCount == 2) last.tile(r);
        settleStill();
    };
    const auto still = [&](std::int32_t r) {
        if (keepsInput) {
            first.stillInput(r);
            if constexpr (kCount == 2) last.stillInput(r);
        } else {
            first.stillQuotient(r, quotients[0]);
            if constexpr (kCount == 2) last.stillQuotient(r, quotients[kLast]);
        }
    };
    std::int32_t i = walkStill<kMoves, Isa>(v + chain.lead, v + chain.trail, 0, rows, step, still);
    count = Isa::lane0(counts);
    double rest = 0.0;
    for (std::int32_t r = i; r < rows; ++r) {
        selectBlockRows<kMoves, Scalar>(v, chain, r, count, rest, block);
    }
    for (; i < rows; ++i) {
        first.row(i);
        if constexpr (kCount == 2) last.row(i);
    }
    finishChains<kMoves, kCount>(chains, sum, rows);
    return laneTotal<Isa>(flagged) + rest;
}

// Output rows whose window holds no row, in every lane of the chain.
template <class Isa, bool kRestricted>
void writeEmpty(Chain<Isa>& chain, std::size_t stride, std::int32_t rows) {
    for (int lane = 0; lane < Isa::kLanes; ++lane) {
        const std::size_t column = static_cast<std::size_t>(lane) * stride;
        writeEmptyRows<kRestricted>(chain.x + column + chain.out, chain.y + column + chain.out,
                                    rows);
    }
    chain.out += rows;
}

// A batch of groups of kCount chains walking one schedule: chain c of every group stands
// at the same rows, sharing its selection and its count of selected rows (one count for
// both chains of a group unless they run a lag apart).
template <class Isa, bool kRestricted, int kCount>
struct Groups {
    Chain<Isa>* chains;  // group g's chain c at g * kCount + c
    int groups;
    std::size_t stride;
    const double* v;  // restricted average only
    bool lagged;
    double counts[2] = {0.0, 0.0};

    void walk(const Schedule& schedule) {
        for (int s = 0; s < schedule.count; ++s) {
            const Step& step = schedule.steps[s];
            if constexpr (kCount == 2) {
                if (step.chain[0].moves == step.chain[1].moves) {
                    move<2>(0, step.rows, step.chain);
                    continue;
                }
            }
            for (int c = 0; c < kCount; ++c) {
                if (step.chain[c].moves != kIdle) move<1>(c, step.rows, step.chain + c);
            }
        }
    }

private:
    Chain<Isa>* chainsAt(int group, int c) { return chains + group * kCount + c; }

    // Chains c .. c + kMoving - 1 of every group, `rows` rows of their spans.
    template <int kMoving>
    void move(int c, std::int32_t rows, const Span* spans) {
        withMoves(spans[0].moves, [&](auto moves) {
            constexpr unsigned kMoves = decltype(moves)::kMoves;
            if constexpr (kMoves == kNone) {
                for (int g = 0; g < groups; ++g) {
                    Chain<Isa>* group = chainsAt(g, c);
                    for (int k = 0; k < kMoving; ++k) {
                        writeEmpty<Isa, kRestricted>(group[k], stride, rows);
                    }
                }
            } else if constexpr (!kRestricted) {
                for (int g = 0; g < groups; ++g) {
                    moveChains<Isa, false, kMoves, kMoving>(chainsAt(g, c), stride, rows, spans,
                                                             nullptr, nullptr);
                }
            } else if constexpr (!walksStill<kMoves>) {
                moveDense<kMoves, kMoving>(c, rows);
            } else {
                takeTurns(
                    rows, false, [&](std::int32_t n) { return moveDense<kMoves, kMoving>(c, n); },
                    [&](std::int32_t n) { return moveSparseBlocks<kMoves, kMoving>(c, n); });
            }
        });
    }

    // Up to n rows, each selection block worked out ahead of the chains, until one is sparse
    // (never where two chains a lag apart move: each has a block of its own); returns the
    // rows done.
    template <unsigned kMoves, int kMoving>
    std::int32_t moveDense(int c, std::int32_t n) {
        const int owners = kMoving == 2 && lagged ? 2 : 1;
        SelectionBlock blocks[kMoving];
        return blocksWhile(n, kSelectionRows, [&](std::int32_t, std::int32_t rows) {
            double flagged = 0.0;
            for (int o = 0; o < owners; ++o) {
                const Chain<Isa>& chain = *chainsAt(0, c + o);
                const auto select = [&](auto lanes, std::int32_t i, auto& count, auto& flags) {
                    selectBlockRows<kMoves, decltype(lanes)>(v, chain, i, count, flags, blocks[o]);
                };
                flagged += selectInVectors<Isa>(rows, counts[c + o], select);
            }
            for (int g = 0; g < groups; ++g) {
                moveChains<Isa, true, kMoves, kMoving>(chainsAt(g, c), stride, rows, nullptr,
                                                        &blocks[0], &blocks[owners - 1]);
            }
            return owners == 2 || !walksStill<kMoves> || !sparseRows(flagged, rows);
        });
    }

    // Up to n rows by the still/step walk (moveSparse), each group from the same count,
    // until a block is dense; returns the rows done.
    template <unsigned kMoves, int kMoving>
    std::int32_t moveSparseBlocks(int c, std::int32_t n) {
        SelectionBlock block;
        return blocksWhile(n, kSelectionRows, [&](std::int32_t, std::int32_t rows) {
            double after = 0.0, flagged = 0.0;
            for (int g = 0; g < groups; ++g) {
                after = counts[c];
                flagged = moveSparse<Isa, kMoves, kMoving>(chainsAt(g, c), stride, v, rows,
                                                           after, block);
            }
            counts[c] = after;
            return sparseRows(flagged, rows);
        });
    }
};

// How many rows the second chain of a group runs behind the first. Where the chains'
// columns sit within `near` bytes of a multiple of 4 KiB apart (M a multiple of 128, say),
// the rows the two read together share a few cache sets and evict each other. Behind by
// (kApart - offset) / 8 rows, the second reads 2 * offset - kApart bytes (modulo 4 KiB)
// from the first's sets: 1 KiB at offset 0, never nearer than kApart - 2 * near. Two
// lanes' restricted groups never lag (engine_tuning.h).
template <class Isa, bool kRestricted>
std::int32_t chainLag(std::int32_t M) {
    if (kRestricted && Isa::kLanes < 4) return 0;
    const std::int64_t near = Isa::kLanes >= 4 ? kNearFourLanes : kNearTwoLanes;
    const std::int64_t distance = static_cast<std::int64_t>(M) * Isa::kLanes * 8;
    std::int64_t offset = distance % kPage;  // where the second chain sits, in (-2048, 2048]
    if (offset > kPage / 2) offset -= kPage;
    if (offset <= -near || offset >= near) return 0;
    const std::int32_t lag = static_cast<std::int32_t>((kApart - offset) / 8);
    return M >= 8 * lag ? lag : 0;  // a short column gains little from it
}

// Whether the plain average's groups of two chains should give way to single chains:
// beyond the caches one chain keeps up with the memory, and two would keep twice the
// trailing rows (W behind the lead, per column), which for long windows leave the
// first-level cache.
template <class Isa>
bool preferSingleChains(std::int32_t M, std::int32_t N, std::int32_t W) {
    const std::size_t trailing = 2 * Isa::kLanes * static_cast<std::size_t>(smaller(W, M)) * 8;
    return trailing > kFirstLevel && beyondCaches(M, N);
}

// Columns `column` .. N-1 in groups of kLanes * kCount while whole groups remain; returns
// the first column left over.
template <class Isa, bool kRestricted, int kCount>
std::int32_t averageGroups(const double* x, const double* v, double* y, std::int32_t M,
                           std::int32_t N, const Walk& walk, std::int32_t column) {
    constexpr std::int32_t kColumns = Isa::kLanes * kCount;
    const std::size_t stride = static_cast<std::size_t>(M);
    const std::size_t groupCells = kColumns * stride;
    const bool prefetch = groupCells * sizeof(double) <= kPrefetchedGroup;
    // The lag pays where the rows stay in the caches; beyond them the memory sets the pace,
    // and several groups' streams at once would outnumber what the prefetchers follow.
    const bool inCache = !beyondCaches(M, N);
    const std::int32_t lag = kCount > 1 && inCache ? chainLag<Isa, kRestricted>(M) : 0;
    const Schedule schedule = groupSchedule(walk, lag);
    const int most = Isa::kLanes >= 4 ? kBatchFourLanes : kBatch;
    const int batch = kRestricted && kCount == 2 && inCache ? most : 1;
    while (N - column >= kColumns) {
        const std::size_t offset = static_cast<std::size_t>(column) * stride;
        if (prefetch && N - column >= 2 * kColumns) {
            const double* next = x + offset + groupCells;
            for (std::size_t i = 0; i < groupCells; i += 8) Isa::prefetch(next + i);
        }
        const int groups = static_cast<int>(smaller(batch, (N - column) / kColumns));
        Chain<Isa> chains[kBatch * kCount];
        for (int c = 0; c < groups * kCount; ++c) {
            const std::size_t start = offset + static_cast<std::size_t>(c) * Isa::kLanes * stride;
            chains[c].x = x + start;
            chains[c].y = y + start;
            chains[c].lead = chains[c].trail = walk.firstRow;
        }
        Groups<Isa, kRestricted, kCount>{chains, groups, stride, v, lag > 0}.walk(schedule);
        column += groups * kColumns;
    }
    return column;
}

}  // namespace

#endif
