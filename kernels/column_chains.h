// Several columns at once (see column_groups.h): chains of kLanes neighbouring columns.
#ifndef ZORVAN_KERNELS_COLUMN_CHAINS_H
#define ZORVAN_KERNELS_COLUMN_CHAINS_H

#include "column_phases.h"
#include "engine_tuning.h"
#include "scalar_lanes.h"
#include "selection.h"

#include <cstddef>
#include <cstdint>

namespace {

// One chain: kLanes neighbouring columns whose running sums advance together, and the
// rows that enter, leave and are written next.
template <class Isa>
struct Chain {
    Chain() : sum(Isa::all(0.0)) {}  // not implied: that one would be the baseline's code

    const double* x = nullptr;
    const double* v = nullptr;  // the selection, restricted average only
    double* y = nullptr;
    std::size_t stride = 0;  // from one column to the next: M
    std::int32_t lead = 0, trail = 0, out = 0;
    typename Isa::V sum;
};

// Rows i .. i + R::kLanes - 1 of the chain's selection block (selectRows).
template <unsigned kMoves, class R, class Isa>
ZORVAN_ALWAYS_INLINE void selectBlockRows(const Chain<Isa>& chain, std::int32_t i,
                                          typename R::V& count, typename R::V& flagged,
                                          SelectionBlock& block) {
    const RowsSelected<R> rows =
        selectRows<kMoves, R>(chain.v, chain.lead + i, chain.trail + i, count, &flagged);
    if constexpr ((kMoves & kEnter) != 0) R::store(block.enterMask + i, rows.entering);
    if constexpr ((kMoves & kLeave) != 0) R::store(block.leaveMask + i, rows.leaving);
    if constexpr ((kMoves & kEmit) != 0) {
        R::store(block.divisor + i, R::max(rows.counts, R::all(1.0)));
        const typename R::V passes = R::isZero(rows.counts);
        R::store(block.passes + i, passes);
        block.tilePasses[i / R::kLanes] = R::any(passes);
    }
}

// One chain's rows, as kMoves says: per row the trail row leaves, the lead row enters,
// the output row receives sum / divisor (the plain average's moving by `change` per row,
// the restricted average's from its selection block, which also masks the operands).
template <class Isa, bool kSelected, unsigned kMoves>
class ChainRows {
public:
    using V = typename Isa::V;
    static constexpr int L = Isa::kLanes;
    static constexpr bool kLeaves = (kMoves & kLeave) != 0, kEnters = (kMoves & kEnter) != 0;
    static constexpr bool kEmits = (kMoves & kEmit) != 0;

    // Pointers of this call's own, which the compiler need not read again after a store.
    ChainRows(const Chain<Isa>& chain, const SelectionBlock* block, V& sum, V& divisor,
              double change)
        : leave_(chain.x + chain.trail), enter_(chain.x + chain.lead), own_(chain.x + chain.out),
          y_(chain.y + chain.out), stride_(chain.stride), block_(block), sum_(sum),
          divisor_(divisor), change_(change), moving_(change != 0.0) {}

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
            if (kSelected && block_->tilePasses[i / L]) {
                V own[L];
                Isa::loadTile(own_ + i, stride_, own);
                for (int r = 0; r < L; ++r) {
                    result[r] = Isa::choose(passes(i + r), own[r], result[r]);
                }
            }
            Isa::storeTile(y_ + i, stride_, result);
        }
    }

    // Still rows i .. i + L - 1 (walkStill): their input, or each lane's quotient (settle).
    // (Stepped column to column: offsets for every lane would leave too few registers.)
    ZORVAN_ALWAYS_INLINE void stillPassing(std::int32_t i) {
        if constexpr (kEmits) {
            const double* own = own_ + i;
            double* y = y_ + i;
            for (int lane = 0; lane < L; ++lane, own += stride_, y += stride_) {
                Isa::store(y, Isa::load(own));
            }
        }
    }
    ZORVAN_ALWAYS_INLINE void stillAveraging(std::int32_t i, const V* quotients) {
        if constexpr (kEmits) {
            double* y = y_ + i;
            for (int lane = 0; lane < L; ++lane, y += stride_) Isa::store(y, quotients[lane]);
        }
    }

    // What still rows take while the sum and `counts` stand: quotients[lane], each lane's.
    ZORVAN_ALWAYS_INLINE void settle(V counts, V* quotients) const {
        if constexpr (kEmits) {
            double lanes[L];
            Isa::store(lanes, Isa::div(sum_, Isa::max(counts, Isa::all(1.0))));
            for (int lane = 0; lane < L; ++lane) quotients[lane] = Isa::all(lanes[lane]);
        }
    }

    // Row i alone.
    void row(std::int32_t i) {
        if constexpr (kLeaves) sum_ = Isa::sub(sum_, leaving(i, Isa::loadRow(leave_ + i, stride_)));
        if constexpr (kEnters) {
            sum_ = Isa::add(sum_, entering(i, Isa::loadRow(enter_ + i, stride_)));
        }
        if constexpr (kEmits) {
            V result = quotient(i);
            if constexpr (kSelected) {
                result = Isa::choose(passes(i), Isa::loadRow(own_ + i, stride_), result);
            }
            Isa::storeRow(y_ + i, stride_, result);
        }
    }

private:
    // What a row subtracts or adds: its samples, or +0.0 where it is not selected.
    V leaving(std::int32_t i, V value) const {
        if constexpr (kSelected) return Isa::andBits(value, Isa::all(block_->leaveMask[i]));
        else return static_cast<void>(i), value;
    }
    V entering(std::int32_t i, V value) const {
        if constexpr (kSelected) return Isa::andBits(value, Isa::all(block_->enterMask[i]));
        else return static_cast<void>(i), value;
    }
    V passes(std::int32_t i) const { return Isa::all(block_->passes[i]); }
    V quotient(std::int32_t i) {
        if constexpr (kSelected) return Isa::div(sum_, Isa::all(block_->divisor[i]));
        const V result = Isa::div(sum_, divisor_);
        if (moving_) divisor_ = Isa::add(divisor_, Isa::all(change_));  // steady ones keep it
        return result;
    }

    const double *leave_, *enter_, *own_;  // the trail, lead and output rows' input
    double* y_;
    std::size_t stride_;
    const SelectionBlock* block_;  // restricted average only
    V& sum_;
    V& divisor_;  // plain average only: the next output row's
    double change_;  // not a vector: that would imply a copy compiled for the baseline
    bool moving_;
};

// Where kCount chains stand once they have moved `rows` rows, reaching the sums `sum`.
template <unsigned kMoves, class Isa>
ZORVAN_ALWAYS_INLINE void passChainRows(Chain<Isa>* chains, int count,
                                        const typename Isa::V* sum, std::int32_t rows) {
    for (int c = 0; c < count; ++c) {
        chains[c].sum = sum[c];
        passRows<kMoves>(chains[c], rows);
    }
}

// Moves kCount chains `rows` rows, by turns tile by tile so that their additions overlap.
// The plain average's divisors start at divisors[c]; the restricted average's rows are at
// most a block, its selection blocks[c].
template <class Isa, bool kSelected, unsigned kMoves, int kCount>
void moveChains(Chain<Isa>* chains, std::int32_t rows, const double* divisors, double change,
                const SelectionBlock* const* blocks) {
    typename Isa::V sum[kCount], divisor[kCount];
    for (int c = 0; c < kCount; ++c) {
        sum[c] = chains[c].sum;
        divisor[c] = Isa::all(kSelected ? 1.0 : divisors[c]);
    }
    static_assert(kCount == 1 || kCount == 2, "one or two chains at a time");
    constexpr int kLast = kCount - 1;
    using Rows = ChainRows<Isa, kSelected, kMoves>;
    const SelectionBlock* firstBlock = kSelected ? blocks[0] : nullptr;
    const SelectionBlock* lastBlock = kSelected ? blocks[kLast] : nullptr;
    Rows first(chains[0], firstBlock, sum[0], divisor[0], change);
    Rows second(chains[kLast], lastBlock, sum[kLast], divisor[kLast], change);
    std::int32_t i = 0;
    for (; rows - i >= Isa::kLanes; i += Isa::kLanes) {
        first.tile(i);
        if constexpr (kCount == 2) second.tile(i);
    }
    for (; i < rows; ++i) {
        first.row(i);
        if constexpr (kCount == 2) second.row(i);
    }
    passChainRows<kMoves>(chains, kCount, sum, rows);
}

// Moves a group of kCount chains `rows` rows (at most a block) by the still/step walk:
// only tiles where a row leaves or enters selected get their selection (in `block`) and
// move the chains. `selected` moves past the rows; returns the rows gauged.
template <class Isa, unsigned kMoves, int kCount>
double moveSparse(Chain<Isa>* chains, std::int32_t rows, double& selected, SelectionBlock& block) {
    using V = typename Isa::V;
    constexpr std::int32_t L = Isa::kLanes;
    constexpr int kLast = kCount - 1;
    V sum[kCount], divisor[kCount];  // (the divisors are the plain average's)
    for (int c = 0; c < kCount; ++c) sum[c] = chains[c].sum;
    ChainRows<Isa, true, kMoves> first(chains[0], &block, sum[0], divisor[0], 0.0);
    ChainRows<Isa, true, kMoves> second(chains[kLast], &block, sum[kLast], divisor[kLast], 0.0);
    const Chain<Isa>& chain = chains[0];  // where all of them stand
    // What still rows take, settled after every tile that moves; `passing` where the window
    // selects nothing (a branch, not a choice: the rows that average read no input).
    V counts = Isa::all(selected), quotients[kCount][L];
    bool passing = false;
    const auto settle = [&] {
        passing = Isa::first(counts) == 0.0;
        first.settle(counts, quotients[0]);
        if constexpr (kCount == 2) second.settle(counts, quotients[kLast]);
    };
    settle();
    const double* const entering = chain.v + chain.lead;
    const double* const leaving = chain.v + chain.trail;
    V flagged = Isa::all(0.0);
    const auto step = [&](std::int32_t r) {
        selectBlockRows<kMoves, Isa>(chain, r, counts, flagged, block);
        first.tile(r);
        if constexpr (kCount == 2) second.tile(r);
        settle();
    };
    const auto still = [&](std::int32_t r) {
        if (passing) {
            first.stillPassing(r);
            if constexpr (kCount == 2) second.stillPassing(r);
        } else {
            first.stillAveraging(r, quotients[0]);
            if constexpr (kCount == 2) second.stillAveraging(r, quotients[kLast]);
        }
    };
    std::int32_t i = walkStill<kMoves, Isa>(entering, leaving, 0, rows, step, still);
    selected = Isa::first(counts);
    double rest = 0.0;
    for (std::int32_t r = i; r < rows; ++r) {
        selectBlockRows<kMoves, Scalar>(chain, r, selected, rest, block);
    }
    for (; i < rows; ++i) {
        first.row(i);
        if constexpr (kCount == 2) second.row(i);
    }
    passChainRows<kMoves>(chains, kCount, sum, rows);
    return laneTotal<Isa>(flagged) + rest;
}

// Output rows whose window holds no row, in every lane of the chain.
template <class Isa, bool kSelected>
void writeEmpty(Chain<Isa>& chain, std::int32_t rows) {
    for (int lane = 0; lane < Isa::kLanes; ++lane) {
        const std::size_t column = static_cast<std::size_t>(lane) * chain.stride;
        writeEmptyRows<kSelected>(chain.x + column + chain.out, chain.y + column + chain.out, rows);
    }
    chain.out += rows;
}

// The runner of `count` groups of kCount chains, a phase's rows at a time. Every group
// stands at the first one's rows, sharing its selection; or a group's second chain stands
// `lag` rows of the walk behind its first, in the same phase, with a selection of its own.
template <class Isa, bool kSelected, int kCount>
struct Groups {
    Chain<Isa>* chains;
    int count;
    double* selected;  // the window's count of selected rows: per chain where lagged
    std::int32_t lag = 0;

    template <unsigned kMoves>
    void rows(std::int32_t n, double divisor, double change) {
        if constexpr (kMoves == kNone) {
            for (int c = 0; c < count * kCount; ++c) writeEmpty<Isa, kSelected>(chains[c], n);
        } else if constexpr (!kSelected) {
            double divisors[kCount];
            for (int c = 0; c < kCount; ++c) divisors[c] = divisor - c * lag * change;
            moveChains<Isa, false, kMoves, kCount>(chains, n, divisors, change, nullptr);
        } else {
            handOver(n, false, [&](std::int32_t rows) { return selectBlocks<kMoves>(rows); },
                     [&](std::int32_t rows) { return walkSparse<kMoves>(rows); });
        }
    }

    // Up to n rows, each selection block worked out ahead of the chains, until one is sparse
    // (never where lagged: the walk has one block for all); returns the rows done.
    template <unsigned kMoves>
    std::int32_t selectBlocks(std::int32_t n) {
        SelectionBlock blocks[kCount];
        const SelectionBlock* blockOf[kCount];
        const int owners = lag > 0 ? kCount : 1;
        for (int c = 0; c < kCount; ++c) blockOf[c] = &blocks[c < owners ? c : 0];
        std::int32_t done = 0;
        for (bool dense = true; dense && done < n;) {
            const std::int32_t rows = smaller(kSelectionRows, n - done);
            double flagged = 0.0;
            for (int c = 0; c < owners; ++c) {
                const auto select = [&](auto lanes, std::int32_t i, auto& counts, auto& gauge) {
                    using R = decltype(lanes);
                    selectBlockRows<kMoves, R>(chains[c], i, counts, gauge, blocks[c]);
                };
                flagged += selectInVectors<Isa>(rows, selected[c], select);
            }
            for (Chain<Isa>* group = chains; group < chains + count * kCount; group += kCount) {
                moveChains<Isa, true, kMoves, kCount>(group, rows, nullptr, 0, blockOf);
            }
            done += rows;  // (done + kSelectionRows could pass 2^31 - 1)
            dense = lag > 0 || !walksStill<kMoves> || !sparseRows(flagged, rows);
        }
        return done;
    }

    // Up to n rows by the still/step walk (moveSparse), each group from the same count,
    // until a block is dense; returns the rows done.
    template <unsigned kMoves>
    std::int32_t walkSparse(std::int32_t n) {
        SelectionBlock block;
        std::int32_t done = 0;
        for (bool sparse = true; sparse && done < n;) {
            const std::int32_t rows = smaller(kSelectionRows, n - done);
            double after = 0.0, flagged = 0.0;
            for (int g = 0; g < count; ++g) {
                after = *selected;
                flagged = moveSparse<Isa, kMoves, kCount>(chains + g * kCount, rows, after, block);
            }
            *selected = after;
            done += rows;
            sparse = sparseRows(flagged, rows);
        }
        return done;
    }
};

// The runner of a group whose second chain runs `lag` rows of the walk behind its first:
// in the same phase the two move together, elsewhere one after the other.
template <class Isa, bool kSelected>
struct LaggedPair {
    Chain<Isa>* chains;
    const Phases& phases;
    std::int32_t lag;
    std::int64_t at = 0;  // the first chain's position in the walk
    double selected[2] = {0.0, 0.0};  // each chain's count of selected rows

    // The second chain's phases over a span of the first's phase kFirst.
    template <unsigned kFirst>
    struct Behind {
        Chain<Isa>* chains;
        double* selected;
        std::int32_t lag;
        double divisor, change;  // the first chain's

        template <unsigned kSecond>
        void rows(std::int32_t n, double divisor2, double change2) {
            if constexpr (kFirst == kSecond) {
                Groups<Isa, kSelected, 2> both{chains, 1, selected, lag};
                both.template rows<kFirst>(n, divisor, change);
            } else {
                Groups<Isa, kSelected, 1> first{chains, 1, selected};
                Groups<Isa, kSelected, 1> second{chains + 1, 1, selected + 1};
                first.template rows<kFirst>(n, divisor, change);
                second.template rows<kSecond>(n, divisor2, change2);
            }
            divisor += n * change;
        }
    };

    template <unsigned kMoves>
    void rows(std::int32_t n, double divisor, double change) {
        // Rows of the first ahead of the second's start: the first alone.
        const std::int64_t ahead = lag - at;
        const std::int32_t alone = static_cast<std::int32_t>(ahead < 0 ? 0 : ahead < n ? ahead : n);
        Groups<Isa, kSelected, 1> first{chains, 1, selected};
        if (alone > 0) first.template rows<kMoves>(alone, divisor, change);
        Behind<kMoves> behind{chains, selected, lag, divisor + alone * change, change};
        runPhases(phases, behind, at + alone - lag, at + n - lag);
        at += n;
    }

    void run() {
        runPhases(phases, *this);
        Groups<Isa, kSelected, 1> second{chains + 1, 1, selected + 1};
        runPhases(phases, second, phases.rows() - lag, phases.rows());
    }
};

// How many rows the second chain of a group runs behind the first: where the chains'
// columns sit close to a multiple of 4 KiB apart (M a multiple of 512, say) their rows
// would share a few cache sets and evict each other, so it works 1 KiB further on.
template <class Isa>
std::int32_t chainLag(std::int32_t M) {
    const std::int64_t distance = static_cast<std::int64_t>(M) * Isa::kLanes * 8;
    std::int64_t offset = distance % kPage;  // where the second chain sits, in (-2048, 2048]
    if (offset > kPage / 2) offset -= kPage;
    if (offset <= -kNear || offset >= kNear) return 0;
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
    const std::size_t data = static_cast<std::size_t>(M) * static_cast<std::size_t>(N) * 8;
    return trailing > kFirstLevel && data >= kBeyondCaches;
}

// Columns first .. N-1 in groups of kLanes * kCount while whole groups remain; returns
// the first column left over.
template <class Isa, bool kSelected, int kCount>
std::int32_t averageGroups(const double* x, const double* v, double* y, std::int32_t M,
                           std::int32_t N, const Phases& phases, std::int32_t first) {
    constexpr std::int32_t kColumns = Isa::kLanes * kCount;
    const std::size_t stride = static_cast<std::size_t>(M);
    const std::size_t groupCells = kColumns * stride;
    const bool prefetch = groupCells * sizeof(double) <= kPrefetchedGroup;
    // The lag pays where the rows stay in the caches; beyond them the memory sets the pace.
    const bool inCache = static_cast<std::size_t>(N) * stride * sizeof(double) < kBeyondCaches;
    const std::int32_t lag = kCount > 1 && inCache ? chainLag<Isa>(M) : 0;
    // Beyond the caches (or with the lag) several groups' streams at once would outnumber
    // what the prefetchers follow (or share the same sets): one group at a time there.
    const int batch = kSelected && kCount == 2 && lag == 0 && inCache ? kBatch : 1;
    while (N - first >= kColumns) {
        const std::size_t offset = static_cast<std::size_t>(first) * stride;
        if (prefetch && N - first >= 2 * kColumns) {
            const double* next = x + offset + groupCells;
            for (std::size_t i = 0; i < groupCells; i += 8) Isa::prefetch(next + i);
        }
        const int groups = static_cast<int>(smaller(batch, (N - first) / kColumns));
        Chain<Isa> chains[kBatch * kCount];
        for (int c = 0; c < groups * kCount; ++c) {
            const std::size_t column = offset + static_cast<std::size_t>(c) * Isa::kLanes * stride;
            chains[c].x = x + column;
            chains[c].v = v;
            chains[c].y = y + column;
            chains[c].stride = stride;
            chains[c].lead = chains[c].trail = phases.first;
        }
        if (kCount == 2 && lag > 0) {
            LaggedPair<Isa, kSelected>{chains, phases, lag}.run();
        } else {
            double selected = 0.0;
            Groups<Isa, kSelected, kCount> run{chains, groups, &selected};
            runPhases(phases, run);
        }
        first += groups * kColumns;
    }
    return first;
}

}  // namespace

#endif
