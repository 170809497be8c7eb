// The engine behind every column path: written once for any instruction set, and
// bit-identical to the column kernels in moving_average.h.
//
// An instruction set (Isa) supplies a vector V of kLanes doubles with lane-wise IEEE
// add, subtract, divide and maximum, comparisons that give lane masks, bitwise and, or and
// choice, a running sum across the lanes (of whole numbers only), loads, stores and
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
// are the same for all columns.
//
// The restricted average chooses operands, never results: a row that is not selected
// leaves or enters as +0.0, its sample masked with one `and`. No running sum is ever -0.0
// (every sum starts at +0.0, and rounding to nearest gives -0.0 from a sum or difference
// only of operands that do), and for every other double s, infinities and NaN payloads
// included, s - (+0.0) and s + (+0.0) are s bit for bit; so the running sum sees exactly
// the column kernel's operations, and its chain is the plain one: one subtraction and one
// addition per row. (A product with a 0/1 flag would not do: NaN or Inf times 0 is NaN.)
//
// The engine reads in the column kernel's order: column_phases.h gives a column's phases
// (preload, growth, steady, tail) as calls, each with its rows and divisor, to one
// runner: the groups' in column_chains.h, the lone column's in lone_column.h. Both read
// the selection through selection.h, which also says where a selection is judged sparse
// and what each runner does then. The sizes it was tuned with are in engine_tuning.h.
//
// One source per instruction set includes this header and is compiled for that target.
// Everything here has internal linkage, so that no copy built for a wider instruction set
// can be linked in where a narrower one is called.
#ifndef ZORVAN_KERNELS_COLUMN_GROUPS_H
#define ZORVAN_KERNELS_COLUMN_GROUPS_H

#include "column_chains.h"
#include "column_phases.h"
#include "lone_column.h"

#include <cstddef>
#include <cstdint>

namespace {

// A whole block: groups of Wide's lanes (two chains, then one), then groups of Narrow's,
// then every column left over on its own, its rows in Wide's vectors; any M, W and S.
// v is null for the plain average. With `twoChainsEverywhere` false, beyond the caches,
// the plain average of long windows and the restricted average under a sparse selection
// run Wide in single chains only.
template <class Wide, class Narrow, bool kSelected>
void averageBlock(const double* x, const double* v, double* y, std::int32_t M, std::int32_t N,
                  std::int32_t W, std::int32_t S, bool twoChainsEverywhere) {
    const Phases phases = columnPhases(M, W, S);
    std::int32_t next = 0;
    const bool single = kSelected ? sparseBeyondCaches<Wide>(v, M, N) : preferSingleChains<Wide>(M, N, W);
    if (twoChainsEverywhere || !single) {
        next = averageGroups<Wide, kSelected, 2>(x, v, y, M, N, phases, next);
    }
    next = averageGroups<Wide, kSelected, 1>(x, v, y, M, N, phases, next);
    if constexpr (Narrow::kLanes < Wide::kLanes) {
        next = averageGroups<Narrow, kSelected, 2>(x, v, y, M, N, phases, next);
        next = averageGroups<Narrow, kSelected, 1>(x, v, y, M, N, phases, next);
    }
    for (; next < N; ++next) {
        const std::size_t offset = static_cast<std::size_t>(next) * static_cast<std::size_t>(M);
        averageColumn<Wide, kSelected>(x + offset, v, y + offset, M, phases);
    }
}

}  // namespace

#endif
