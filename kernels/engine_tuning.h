// The sizes the engine (column_groups.h) was tuned with, in one place, each with what set
// it; the measurements are in docs/performance.md.
#ifndef ZORVAN_KERNELS_ENGINE_TUNING_H
#define ZORVAN_KERNELS_ENGINE_TUNING_H

#include <cstddef>
#include <cstdint>

namespace {

// Rows of a selection block (masks and divisors worked out in vectors for the chains at
// those rows). Blocks of 128 or 256 rows were no faster in the caches and slower beyond.
constexpr std::int32_t kSelectionRows = 32;
// The one density rule: rows are sparse where at most one in kSparseSpacing enters
// selected (or leaves, where none enter). There the groups move tile by tile and a lone
// column a vector at a time, each only where a row leaves or enters selected, and beyond
// the caches the groups run single chains (selection.h says where each is judged). 16
// is the lone column's rule as it was tuned (4 rows in 64); the groups' before it (1 row
// in 32 to start, while at most 2 tiles of 8 moved) ran 1 row in 100 no faster.
constexpr std::int32_t kSparseSpacing = 16;
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
// cached shapes 1.2-4x faster than without it, and 1.1-1.3x faster than single chains;
// beyond the caches (2e6 x 8) the shapes ran 0.7-0.95x as long without it.
constexpr std::int64_t kPage = 4096, kNear = 512, kApart = 1024;
// Rows per block of a lone column: the operands, sums and counts of two blocks sit in a
// few KiB of stack, in the first-level cache, between the passes over them. Cutting the
// plain average into calls of 32 rows cost 1.21x its time, of 64 rows 1.07x.
constexpr std::int32_t kBlockRows = 64;
// The rows of the next block whose selection the chained passes gauge (the first ones).
constexpr std::int32_t kGaugedRows = 16;
// How far ahead of the lead and output rows a lone column requests its data: its chain of
// additions holds back how far ahead the processor reads by itself.
constexpr std::int32_t kPrefetchRows = 512;

}  // namespace

#endif
