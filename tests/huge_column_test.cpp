// One column of 2^31 - 1 rows, the longest the checks accept, through every path:
// positions near 2^31 must not overflow. Built with UndefinedBehaviorSanitizer, which
// stops at the first signed overflow. The arrays are aliased: their 16 GiB of addresses
// repeat one block of memory, so the test needs a few MiB (and about half a minute a
// pass: every 4 KiB of addresses is a page of its own). Every path writes its rows in
// order, so the block ends up holding the results of the column's last rows, and every
// path's block must be the same, bit for bit. (Against the column kernels, which keep no
// positions past M, the paths are held on shorter columns elsewhere.)
#include "column_paths.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::int32_t kRows = 2147483647;
constexpr std::size_t kBlockBytes = std::size_t{4} << 20;
constexpr std::size_t kBlockCells = kBlockBytes / sizeof(double);

// kRows doubles whose every kBlockBytes of addresses map the same memory.
class AliasedColumn {
public:
    AliasedColumn() {
        bytes_ = (std::size_t{kRows} * sizeof(double) + kBlockBytes - 1) / kBlockBytes * kBlockBytes;
        memory_ = memfd_create("zorvan-aliased", 0);
        if (memory_ < 0 || ftruncate(memory_, kBlockBytes) != 0) return;
        void* base = mmap(nullptr, bytes_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (base == MAP_FAILED) return;
        base_ = static_cast<char*>(base);
        for (std::size_t at = 0; at < bytes_; at += kBlockBytes) {
            if (mmap(base_ + at, kBlockBytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED | MAP_POPULATE, memory_, 0) ==
                MAP_FAILED) {
                return;
            }
        }
        ready_ = true;
    }
    ~AliasedColumn() {
        if (base_ != nullptr) munmap(base_, bytes_);
        if (memory_ >= 0) close(memory_);
    }
    AliasedColumn(const AliasedColumn&) = delete;
    AliasedColumn& operator=(const AliasedColumn&) = delete;

    bool ready() const { return ready_; }
    double* data() const { return reinterpret_cast<double*>(base_); }

private:
    int memory_ = -1;
    char* base_ = nullptr;
    std::size_t bytes_ = 0;
    bool ready_ = false;
};

// Every path this processor runs but the last, which is the column kernels themselves.
std::vector<ColumnPath> fasterPaths() {
    std::vector<ColumnPath> paths;
    for (const ColumnPath& path : columnPaths()) {
        if (path.available() && &path != columnPaths().end() - 1) paths.push_back(path);
    }
    return paths;
}

TEST(HugeColumn, EveryPathAveragesTheLongestColumnAlike) {
    AliasedColumn x, v, y;
    if (!x.ready() || !v.ready() || !y.ready()) GTEST_SKIP() << "no room for 16 GiB of aliased addresses";
    // Mixed magnitudes, so that the bits tell any other order of operations; about one
    // row in three selected in the first half of the block, one in a hundred in the
    // second, so that the column turns sparse and dense again every 256Ki rows.
    std::mt19937_64 random(31);
    std::uniform_real_distribution<double> value(-1000.0, 1000.0);
    std::uniform_int_distribution<int> flag(0, 299);
    for (std::size_t r = 0; r < kBlockCells; ++r) {
        x.data()[r] = value(random);
        v.data()[r] = flag(random) < (r < kBlockCells / 2 ? 100 : 3) ? 1.0 : 0.0;
    }
    // Every phase: the window grows, steps, stops growing, shrinks and empties.
    const std::int32_t W = 1000, S = 600;
    const std::vector<ColumnPath> paths = fasterPaths();
    for (bool restricted : {false, true}) {
        std::vector<double> first;
        for (const ColumnPath& path : paths) {
            SCOPED_TRACE(std::string(path.name) + (restricted ? ", restricted" : ", plain"));
            if (restricted) {
                path.restricted(x.data(), v.data(), y.data(), kRows, 1, W, S);
            } else {
                path.plain(x.data(), y.data(), kRows, 1, W, S);
            }
            if (first.empty()) {
                first.assign(y.data(), y.data() + kBlockCells);
            } else {
                EXPECT_EQ(std::memcmp(first.data(), y.data(), kBlockBytes), 0);
            }
        }
    }
}

}  // namespace
