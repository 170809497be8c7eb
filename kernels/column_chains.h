// Several columns at once (see column_groups.h): chains of kLanes neighbouring columns,
// moved through a column's phases by one runner.
#ifndef ZORVAN_KERNELS_COLUMN_CHAINS_H
#define ZORVAN_KERNELS_COLUMN_CHAINS_H

#include "column_phases.h"
#include "engine_tuning.h"
#include "scalar_lanes.h"
#include "selection.h"

#include <cstddef>
#include <cstdint>

namespace {

// One chain: kLanes neighbouring columns whose running sums advance together, and where
// they stand in their rows (the lead row enters next, the trail row leaves next, the
// output row is written next).
template <class Isa>
struct Chain {
    // Written out rather than implied, so that the compiler gives it the instruction set
    // of the source it is compiled in (an implied one would take the baseline's).
    Chain() : sum(Isa::all(0.0)) {}

    const double* x = nullptr;
    const double* v = nullptr;  // the selection, restricted average only
    double* y = nullptr;
    std::size_t stride = 0;  // from one column to the next: M
    std::int32_t lead = 0, trail = 0, out = 0;
    double selected = 0.0;  // selected rows in the window, restricted average only
    typename Isa::V sum;
};

// Rows [i, i + R::kLanes) of a block of the chain's rows; `count` as in countAfter.
// `flagged`, if given, gauges them (gaugeRows).
template <unsigned kMoves, class R, class Isa>
inline void selectRows(const Chain<Isa>& chain, std::int32_t i, typename R::V& count,
                       SelectionBlock& block, typename R::V* flagged = nullptr) {
    using V = typename R::V;
    V entering = R::all(0.0), leaving = R::all(0.0);
    if constexpr ((kMoves & kEnter) != 0) {
        entering = R::selected(R::load(chain.v + (chain.lead + i)));
        R::store(block.enterMask + i, entering);
    }
    if constexpr ((kMoves & kLeave) != 0) {
        leaving = R::selected(R::load(chain.v + (chain.trail + i)));
        R::store(block.leaveMask + i, leaving);
    }
    if (flagged != nullptr) gaugeRows<kMoves, R>(entering, leaving, *flagged);
    const V counts = countAfter<kMoves, R>(entering, leaving, count);
    if constexpr ((kMoves & kEmit) != 0) {
        R::store(block.divisor + i, R::max(counts, R::all(1.0)));
        const V passes = R::isZero(counts);
        R::store(block.passes + i, passes);
        block.tilePasses[i / R::kLanes] = R::any(passes);
    }
}

// The selection of the first n rows ahead of the chain, in vectors of Isa and the last
// rows one by one; the chain's count moves past them. Returns how many of the rows
// flagged (as in selectRows) are selected.
template <unsigned kMoves, class Isa>
double selectBlock(Chain<Isa>& chain, std::int32_t n, SelectionBlock& block) {
    typename Isa::V counts = Isa::all(chain.selected), flagged = Isa::all(0.0);
    std::int32_t i = 0;
    for (; n - i >= Isa::kLanes; i += Isa::kLanes) selectRows<kMoves, Isa>(chain, i, counts, block, &flagged);
    chain.selected = Isa::first(counts);  // all lanes are equal
    double rest = 0.0;
    for (; i < n; ++i) selectRows<kMoves, Scalar>(chain, i, chain.selected, block, &rest);
    return laneTotal<Isa>(flagged) + rest;
}

// One chain's rows, as kMoves says: per row the trail row leaves (subtracted), then the
// lead row enters (added), then the output row receives sum / divisor. The plain
// average's divisor moves by `change` per row; the restricted average (kSelected) masks
// its operands and takes its divisors from its selection block, and passes the output
// row's own input through where its window selects nothing.
template <class Isa, bool kSelected, unsigned kMoves>
class ChainRows {
public:
    using V = typename Isa::V;
    static constexpr int L = Isa::kLanes;
    static constexpr bool kLeaves = (kMoves & kLeave) != 0, kEnters = (kMoves & kEnter) != 0;
    static constexpr bool kEmits = (kMoves & kEmit) != 0;

    // The chain's rows are taken once, into pointers of this call's own, which the
    // compiler need not read again after every store.
    ChainRows(const Chain<Isa>& chain, const SelectionBlock* block, V& sum, V& divisor, double change)
        : leave_(chain.x + chain.trail), enter_(chain.x + chain.lead), own_(chain.x + chain.out),
          y_(chain.y + chain.out), stride_(chain.stride), block_(block), sum_(sum),
          divisor_(divisor), change_(change), moving_(change != 0.0) {}

    // Rows i .. i + L - 1 of every lane at once.
    void tile(std::int32_t i) {
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
                for (int r = 0; r < L; ++r) result[r] = Isa::choose(Isa::broadcast(block_->passes + i + r), own[r], result[r]);
            }
            Isa::storeTile(y_ + i, stride_, result);
        }
    }

    // Rows i .. i + L - 1 where no row leaves or enters selected: every operand would be
    // +0.0, so the sum and the count stand still, and one count serves every row and lane.
    // Where it is 0 each row passes its own input through; otherwise each lane's rows take
    // the quotient that standStill gave, and its input is not read at all.
    // (Stepped from column to column: offsets of their own for every lane would leave the
    // compiler too few registers for two chains.)
    ZORVAN_ALWAYS_INLINE void stillPassing(std::int32_t i) {
        if constexpr (kEmits) {
            const double* own = own_ + i;
            double* y = y_ + i;
            for (int lane = 0; lane < L; ++lane, own += stride_, y += stride_) Isa::store(y, Isa::load(own));
        }
    }
    ZORVAN_ALWAYS_INLINE void stillAveraging(std::int32_t i, const V* quotients) {
        if constexpr (kEmits) {
            double* y = y_ + i;
            for (int lane = 0; lane < L; ++lane, y += stride_) Isa::store(y, quotients[lane]);
        }
    }

    // What still rows take while the sum and `counts` (the count in every lane) stand:
    // each lane's quotient in every lane of quotients[lane].
    ZORVAN_ALWAYS_INLINE void standStill(V counts, V* quotients) const {
        if constexpr (kEmits) {
            double lanes[L];
            Isa::store(lanes, Isa::div(sum_, Isa::max(counts, Isa::all(1.0))));
            for (int lane = 0; lane < L; ++lane) quotients[lane] = Isa::all(lanes[lane]);
        }
    }

    // Row i alone.
    void row(std::int32_t i) {
        if constexpr (kLeaves) sum_ = Isa::sub(sum_, leaving(i, Isa::loadRow(leave_ + i, stride_)));
        if constexpr (kEnters) sum_ = Isa::add(sum_, entering(i, Isa::loadRow(enter_ + i, stride_)));
        if constexpr (kEmits) {
            V result = quotient(i);
            if constexpr (kSelected) {
                result = Isa::choose(Isa::broadcast(block_->passes + i), Isa::loadRow(own_ + i, stride_), result);
            }
            Isa::storeRow(y_ + i, stride_, result);
        }
    }

private:
    // What a row subtracts or adds: its samples, or where it is not selected +0.0, which
    // changes no running sum (none is ever -0.0).
    V leaving(std::int32_t i, V value) const {
        if constexpr (kSelected) return Isa::andBits(value, Isa::broadcast(block_->leaveMask + i));
        else return static_cast<void>(i), value;
    }
    V entering(std::int32_t i, V value) const {
        if constexpr (kSelected) return Isa::andBits(value, Isa::broadcast(block_->enterMask + i));
        else return static_cast<void>(i), value;
    }
    V quotient(std::int32_t i) {
        if constexpr (kSelected) return Isa::div(sum_, Isa::broadcast(block_->divisor + i));
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
    double change_;  // (a double: a vector member would give the class an implied copy,
                     // compiled for the baseline instruction set)
    bool moving_;
};

// Where kCount chains stand once they have moved `rows` rows, reaching the sums `sum`.
template <unsigned kMoves, class Isa>
ZORVAN_ALWAYS_INLINE void passRows(Chain<Isa>* chains, int count, const typename Isa::V* sum, std::int32_t rows) {
    for (int c = 0; c < count; ++c) {
        chains[c].sum = sum[c];
        if constexpr ((kMoves & kLeave) != 0) chains[c].trail += rows;
        if constexpr ((kMoves & kEnter) != 0) chains[c].lead += rows;
        if constexpr ((kMoves & kEmit) != 0) chains[c].out += rows;
    }
}

// Moves kCount chains `rows` rows, taking turns tile by tile so that their additions
// overlap. The plain average's divisors start at divisors[c]; the restricted average
// has one selection block per chain, and rows at most a block.
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
    ChainRows<Isa, kSelected, kMoves> first(chains[0], kSelected ? blocks[0] : nullptr, sum[0], divisor[0], change);
    ChainRows<Isa, kSelected, kMoves> second(chains[kLast], kSelected ? blocks[kLast] : nullptr, sum[kLast],
                                            divisor[kLast], change);
    std::int32_t i = 0;
    for (; rows - i >= Isa::kLanes; i += Isa::kLanes) {
        first.tile(i);
        if constexpr (kCount == 2) second.tile(i);
    }
    for (; i < rows; ++i) {
        first.row(i);
        if constexpr (kCount == 2) second.row(i);
    }
    passRows<kMoves>(chains, kCount, sum, rows);
}

// Moves a group of kCount chains `rows` rows (at most a block) under a sparse selection,
// worked out tile by tile as they go: only tiles where a row leaves or enters selected
// get masks and divisors (in `block`) and move the chains. `selected` is the count of
// selected rows in the window before the rows, and after them on return. Returns how
// many rows enter selected (or leave, where none enter): the rows' density.
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
    // What the still rows take, worked out again after every tile that moves; `passing`
    // where the window selects nothing. (A branch, not a choice: it changes only where a
    // tile moves, and the rows that average read no input.)
    V counts = Isa::all(selected), quotients[kCount][L];
    bool passing = false;
    const auto standStill = [&] {
        passing = Isa::first(counts) == 0.0;
        first.standStill(counts, quotients[0]);
        if constexpr (kCount == 2) second.standStill(counts, quotients[kLast]);
    };
    standStill();
    // The flags taken once, into pointers the compiler need not read again after a store.
    const double* const entering = chain.v + chain.lead;
    const double* const leaving = chain.v + chain.trail;
    V flagged = Isa::all(0.0);
    const auto step = [&](std::int32_t r) {
        selectRows<kMoves, Isa>(chain, r, counts, block, &flagged);
        first.tile(r);
        if constexpr (kCount == 2) second.tile(r);
        standStill();
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
    for (std::int32_t r = i; r < rows; ++r) selectRows<kMoves, Scalar>(chain, r, selected, block, &rest);
    for (; i < rows; ++i) {
        first.row(i);
        if constexpr (kCount == 2) second.row(i);
    }
    passRows<kMoves>(chains, kCount, sum, rows);
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

// The runner of `count` groups of kCount chains, through one phase's rows at a time.
// Every group stands at the first one's rows, and one selection block serves them all;
// or a group's second chain stands `lag` rows of the walk behind its first, in the same
// phase, with a block of its own.
template <class Isa, bool kSelected, int kCount>
struct Groups {
    Chain<Isa>* chains;
    int count;
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
            SelectionBlock blocks[kCount];
            const SelectionBlock* blockOf[kCount];
            for (int c = 0; c < kCount; ++c) blockOf[c] = lag > 0 ? &blocks[c] : &blocks[0];
            // A block's density decides how the next one is worked out (where the chains
            // share one): after a sparse block, tile by tile as the chains move, each
            // group for itself from the same count, while the rows stay sparse.
            bool sparse = false;
            // Steps of `rows`, not of kSelectionRows, which could pass 2^31 - 1.
            for (std::int32_t done = 0, rows = 0; done < n; done += rows) {
                rows = smaller(kSelectionRows, n - done);
                if (sparse) {
                    double after = chains[0].selected, flagged = 0.0;  // the same for every group
                    for (int g = 0; g < count; ++g) {
                        after = chains[0].selected;
                        flagged = moveSparse<Isa, kMoves, kCount>(chains + g * kCount, rows, after, blocks[0]);
                    }
                    chains[0].selected = after;
                    sparse = sparseRows(flagged, rows);
                    continue;
                }
                double flagged = 0.0;
                for (int c = 0; c < (lag > 0 ? kCount : 1); ++c) flagged += selectBlock<kMoves>(chains[c], rows, blocks[c]);
                sparse = lag == 0 && (kMoves & (kLeave | kEnter)) != 0 && sparseRows(flagged, rows);
                for (int g = 0; g < count; ++g) {
                    moveChains<Isa, true, kMoves, kCount>(chains + g * kCount, rows, nullptr, 0.0, blockOf);
                }
            }
        }
    }
};

// The runner of a group whose second chain runs `lag` positions of the walk behind its
// first: for each phase's rows of the first, the second walks the rows it is at; where it
// is in the same phase the two move together, elsewhere one after the other.
template <class Isa, bool kSelected>
struct LaggedPair {
    Chain<Isa>* chains;
    const Phases& phases;
    std::int32_t lag;
    std::int64_t at = 0;  // the first chain's position in the walk

    // The second chain's phases over a span of the first's phase kFirst.
    template <unsigned kFirst>
    struct Behind {
        Chain<Isa>* chains;
        std::int32_t lag;
        double divisor, change;  // the first chain's

        template <unsigned kSecond>
        void rows(std::int32_t n, double divisor2, double change2) {
            if constexpr (kFirst == kSecond) {
                Groups<Isa, kSelected, 2>{chains, 1, lag}.template rows<kFirst>(n, divisor, change);
            } else {
                Groups<Isa, kSelected, 1>{chains, 1}.template rows<kFirst>(n, divisor, change);
                Groups<Isa, kSelected, 1>{chains + 1, 1}.template rows<kSecond>(n, divisor2, change2);
            }
            divisor += n * change;
        }
    };

    template <unsigned kMoves>
    void rows(std::int32_t n, double divisor, double change) {
        // Rows of the first ahead of the second's start: the first alone.
        const std::int32_t alone = static_cast<std::int32_t>(lag - at < 0 ? 0 : lag - at < n ? lag - at : n);
        if (alone > 0) Groups<Isa, kSelected, 1>{chains, 1}.template rows<kMoves>(alone, divisor, change);
        Behind<kMoves> behind{chains, lag, divisor + alone * change, change};
        runPhases(phases, behind, at + alone - lag, at + n - lag);
        at += n;
    }

    void run() {
        runPhases(phases, *this);
        Groups<Isa, kSelected, 1> second{chains + 1, 1};
        runPhases(phases, second, phases.rows() - lag, phases.rows());
    }
};

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
    return M >= 8 * lag ? lag : 0;  // a short column gains little from it
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
    // Beyond the caches the streams of several groups at once would outnumber what the
    // prefetchers follow; there the restricted average runs a group at a time. (So it does
    // with the lag: the rows of more groups would fight for the same sets.)
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
            Groups<Isa, kSelected, kCount> run{chains, groups};
            runPhases(phases, run);
        }
        first += groups * kColumns;
    }
    return first;
}

}  // namespace

#endif
