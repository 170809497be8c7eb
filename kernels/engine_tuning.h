// The sizes the engine was tuned with, each with what set it (docs/performance.md).
#ifndef ZORVAN_KERNELS_ENGINE_TUNING_H
#define ZORVAN_KERNELS_ENGINE_TUNING_H

#include <cstddef>
#include <cstdint>

namespace {

// Rows of a selection block. Blocks of 128 or 256 rows were no faster in the caches and
// slower beyond.
constexpr std::int32_t kSelectionRows = 32;
// The one density rule (selection.h): rows are sparse where at most one in kSparseSpacing
// enters selected (or leaves, where none enter). 16 is the lone column's rule as it was
// tuned (4 rows in 64); the groups' before it (1 row in 32) ran 1 row in 100 no faster.
constexpr std::int32_t kSparseSpacing = 16;
// Beyond the caches the AVX path's restricted groups gauge the selection first, on
// stretches of rows spread over the column.
constexpr std::int32_t kGaugedStretches = 16, kGaugedStretchRows = 256;
// Restricted groups that share one selection block in the caches (also a lag apart):
// restricted / plain went from about 1.3 to 1.25 in the caches, and from 1.24-1.40 to
// 1.04-1.16 on 100 x 10000. On AVX three, not four (Intel Xeon): 4000 x 64 ran 0.55-0.61
// ns per cell against 0.71-1.24 with four, elsewhere within 2 % of four; with fewer
// lanes three ran 1.06-1.09x as long as four in the caches.
constexpr int kBatchFourLanes = 3, kBatch = 4;  // kBatch: fewer lanes', and the most
// Blocks of this many bytes or more are beyond the caches: restricted groups go one at a
// time there, and the plain average of long windows uses single chains.
constexpr std::size_t kBeyondCaches = 8 * 1024 * 1024;
// The first-level data cache, which two chains' trailing rows must fit.
constexpr std::size_t kFirstLevel = 32 * 1024;
// Groups of at most this many bytes have the next group's input requested ahead: the
// prefetchers barely notice short columns' streams before they end.
constexpr std::size_t kPrefetchedGroup = 32 * 1024;
// The chain lag (chainLag): where a group's chains sit within a few bytes of a multiple
// of kPage apart, the second runs behind. At M = 4096 the cached shapes ran 1.2-4x faster
// than without it, 1.1-1.3x faster than single chains; beyond the caches (2e6 x 8) in
// 0.7-0.95x the time without it. On 16 columns (Intel Xeon, ns per cell), AVX lagged
// against not: M = 4096 plain 0.49 against 0.65, restricted 0.57 against 0.81; 128 bytes
// off (4100) 0.50 against 0.56, 0.58 against 0.63; 160 bytes off the plain average
// gained nothing and the restricted one lost 1.07x. Two lanes' plain groups gained
// 1.06-1.1x at M = 12288 (as far as 256 bytes off, nothing from 384), 1.0-1.03x at 4096
// and 8192; their restricted groups lost 1.05-1.1x (0.73 against 0.68 at 4096), so they
// never lag.
constexpr std::int64_t kPage = 4096, kApart = 1024;
constexpr std::int64_t kNearFourLanes = 160, kNearTwoLanes = 320;
// Rows per segment of a lone column: two segments' operands, sums and counts stay in the
// first-level cache between passes. Calls of 32 rows cost 1.21x the time, of 64 1.07x.
constexpr std::int32_t kSegmentRows = 64;
// The first rows of the next segment whose selection a lone column's chained passes gauge.
constexpr std::int32_t kGaugedRows = 16;
// How far ahead a lone column requests its data: its chain of additions holds back how
// far ahead the processor reads by itself.
constexpr std::int32_t kPrefetchRows = 512;

}  // namespace

#endif
