// The engine behind every column path: written once for any instruction set, and
// bit-identical to the column kernels in moving_average.h.
//
// An instruction set (Isa) supplies a vector V of kLanes doubles: lane-wise IEEE add,
// subtract, divide and maximum, masks from comparisons, bitwise and, or and choice, a
// running sum across the lanes (whole numbers only), and loads and stores of consecutive
// doubles, of one row or of a square tile of kLanes rows across kLanes columns
// (scalar_lanes.h, sse2_lanes.h, avx_lanes.h, neon_lanes.h).
//
// Several columns: a chain is one vector of kLanes neighbouring columns, each lane seeing
// exactly its own column's operations in the column kernel's order; a group runs one or
// two chains side by side, so that their dependent additions overlap (column_chains.h).
// One column: the plain average's runs the column kernel; the restricted one's running
// sum is one scalar chain, everything around it in vectors of consecutive rows, off the
// chain (lone_column.h). Every control decision depends on M, W, S and the selection
// only, never on the data, so it is the same for every lane.
//
// The restricted average chooses operands, never results: a row that is not selected
// leaves or enters as +0.0, its sample masked with one `and`. No running sum is ever -0.0
// (every sum starts at +0.0, and rounding to nearest gives -0.0 only from operands that
// are), and s - (+0.0) and s + (+0.0) are s bit for bit for every other double, so the
// running sum sees exactly the column kernel's operations. (A product with a 0/1 flag
// would not do: NaN or Inf times 0 is NaN.)
//
// The map: averageBlock (here) puts the columns in groups; column_phases.h gives a
// column's walk (its spans) and a group's schedule (steps in which each chain does one
// span's moves, the lag merged in); Groups::walk (column_chains.h) hands each step to the
// move kernels (moveChains, or by turns moveDense and moveSparseBlocks), a ChainMover
// per chain; a lone column walks its spans in lone_column.h; both read the selection
// through selection.h; the sizes are in engine_tuning.h.
// Everything has internal linkage, so that no copy built for a wider instruction set can
// be linked in where a narrower one is called.
#ifndef ZORVAN_KERNELS_COLUMN_GROUPS_H
#define ZORVAN_KERNELS_COLUMN_GROUPS_H

#include "column_chains.h"
#include "column_phases.h"
#include "lone_column.h"

#include <cstddef>
#include <cstdint>

namespace {

// A whole block: groups of Wide's lanes (two chains, then one), then of Narrow's (one
// chain: after Wide's at most Wide::kLanes - 1 columns remain), then each column left on
// its own; any M, W and S, v null for the plain average. Single chains of Wide in place
// of its pairs were measured faster, beyond the caches, with AVX's four lanes only.
template <class Wide, class Narrow, bool kRestricted>
void averageBlock(const double* x, const double* v, double* y, std::int32_t M, std::int32_t N,
                  std::int32_t W, std::int32_t S) {
    const Walk walk = columnWalk(M, W, S);
    std::int32_t next = 0;
    const bool single = Wide::kLanes == 4 && (kRestricted ? sparseBeyondCaches<Wide>(v, M, N)
                                                          : preferSingleChains<Wide>(M, N, W));
    if (!single) next = averageGroups<Wide, kRestricted, 2>(x, v, y, M, N, walk, next);
    next = averageGroups<Wide, kRestricted, 1>(x, v, y, M, N, walk, next);
    if constexpr (Narrow::kLanes < Wide::kLanes) {
        next = averageGroups<Narrow, kRestricted, 1>(x, v, y, M, N, walk, next);
    }
    for (; next < N; ++next) {
        const std::size_t offset = static_cast<std::size_t>(next) * static_cast<std::size_t>(M);
        if constexpr (kRestricted) {
            averageColumn<Wide>(x + offset, v, y + offset, M, walk);
        } else {
            movingAverageColumn(x + offset, y + offset, M, W, S);
        }
    }
}

}  // namespace

#endif
