#include "column_checks.h"

#include "column_paths.h"
#include "fuzzed_block.h"
#include "moving_average.h"
#include "support/window_oracle.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fuzz {

namespace {

double unwrittenMarker() {
    const std::uint64_t marker = 0x7ff4'0000'dead'beefu;  // a signalling NaN
    double value;
    std::memcpy(&value, &marker, sizeof value);
    return value;
}

std::size_t cells(std::int32_t M, std::int32_t N) {
    return static_cast<std::size_t>(M) * static_cast<std::size_t>(N);
}

// What sort of block it was: the average, where M stands against the tiles and strides,
// N against the groups of 8, 4 and 2 columns, and S against W and M.
std::string blockKind(const FuzzedBlock& b) {
    std::string kind = b.restricted ? "restricted, " : "plain, ";
    const std::int32_t M = b.M, N = b.N, W = b.W, S = b.S;
    kind += M < 5 ? "M < 5" : M < 100 ? "M < 100" : M < 496 ? "M < 496" : M < 1000 ? "M ~ 512"
          : M < 1100 ? "M ~ 1024" : M < 2000 ? "M ~ 1152" : "M ~ 2048";
    kind += ", N mod 8 = " + std::to_string(N % 8) + (N >= 16 ? ", N >= 16" : "");
    kind += W < 1 ? ", W < 1" : W > M ? ", W > M" : ", W <= M";
    if (W >= 1) kind += S < 0 ? ", S < 0" : S < W ? ", 0 <= S < W" : S == W ? ", S = W" : ", S > W";
    if (S > M) kind += ", S > M";
    return kind;
}

}  // namespace

std::vector<double> columnKernelReference(const std::vector<double>& x,
                                          const std::vector<double>* v, std::int32_t M,
                                          std::int32_t N, std::int32_t W, std::int32_t S) {
    const std::size_t rows = static_cast<std::size_t>(M);
    std::vector<double> flags;
    if (v != nullptr) flags.assign(v->begin(), v->begin() + static_cast<long>(rows));

    std::vector<double> y;
    y.reserve(cells(M, N));
    for (std::size_t c = 0; c < static_cast<std::size_t>(N); ++c) {
        const std::vector<double> column(x.begin() + static_cast<long>(c * rows),
                                         x.begin() + static_cast<long>((c + 1) * rows));
        std::vector<double> out(rows, unwrittenMarker());
        if (v == nullptr) {
            movingAverageColumn(column.data(), out.data(), M, W, S);
        } else {
            restrictedMovingAverageColumn(column.data(), flags.data(), out.data(), M, W, S);
        }
        y.insert(y.end(), out.begin(), out.end());
    }
    return y;
}

std::vector<bool> arithmeticRows(std::int32_t M, std::int32_t W, std::int32_t S,
                                 const std::vector<double>* v) {
    const std::int64_t rows = M;
    // selectedBefore[r]: selected rows among 0 .. r-1 (every row for the plain average).
    std::vector<std::int64_t> selectedBefore(static_cast<std::size_t>(rows) + 1, 0);
    for (std::int64_t r = 0; r < rows; ++r) {
        const bool selected = v == nullptr || (*v)[static_cast<std::size_t>(r)] != 0.0;
        selectedBefore[static_cast<std::size_t>(r + 1)] =
            selectedBefore[static_cast<std::size_t>(r)] + (selected ? 1 : 0);
    }
    // The kernels take a negative shift as none, and one past the column as S = M.
    const std::int64_t shift = std::clamp<std::int64_t>(S, 0, rows);
    std::vector<bool> arithmetic(static_cast<std::size_t>(rows), false);
    for (std::int64_t j = 0; j < rows && W >= 1; ++j) {
        const std::int64_t lo = std::max<std::int64_t>(0, j + shift - W + 1);
        const std::int64_t hi = std::min<std::int64_t>(rows - 1, j + shift);
        arithmetic[static_cast<std::size_t>(j)] =
            lo <= hi && selectedBefore[static_cast<std::size_t>(hi + 1)] >
                            selectedBefore[static_cast<std::size_t>(lo)];
    }
    return arithmetic;
}

std::string firstDifference(const std::vector<double>& got, const std::vector<double>& want,
                            std::size_t M, const std::vector<bool>* arithmetic) {
    if (got.size() != want.size()) return "a different number of cells";
    for (std::size_t i = 0; i < got.size(); ++i) {
        if (bitsOf(got[i]) == bitsOf(want[i])) continue;
        const bool bothNaN = got[i] != got[i] && want[i] != want[i];
        if (bothNaN && arithmetic != nullptr && (*arithmetic)[i % M]) continue;
        char text[200];
        std::snprintf(text, sizeof text,
                      "row %zu of column %zu: got %.17g (0x%016llx), expected %.17g (0x%016llx)",
                      i % M, i / M, got[i], static_cast<unsigned long long>(bitsOf(got[i])),
                      want[i], static_cast<unsigned long long>(bitsOf(want[i])));
        return text;
    }
    return "";
}

std::string differenceOnAnyPath(const std::vector<double>& x, const std::vector<double>* v,
                                std::int32_t M, std::int32_t N, std::int32_t W, std::int32_t S,
                                const std::vector<double>& reference) {
    const std::size_t size = cells(M, N);
    const std::size_t rows = static_cast<std::size_t>(M);
    const std::vector<bool> arithmetic = arithmeticRows(M, W, S, v);
    const std::vector<double> block(x.begin(), x.begin() + static_cast<long>(size));
    std::vector<double> flags;
    if (v != nullptr) flags.assign(v->begin(), v->begin() + M);
    for (const ColumnPath& path : columnPaths()) {
        if (!path.available()) continue;
        // Fresh allocations of exactly their length for every path, so that ASan puts
        // its red zones right after the last column, the last flag and the last cell.
        const std::vector<double> input(block);
        const std::vector<double> selection(flags);
        std::vector<double> y(size, unwrittenMarker());
        if (v == nullptr) {
            path.plain(input.data(), y.data(), M, N, W, S);
        } else {
            path.restricted(input.data(), selection.data(), y.data(), M, N, W, S);
        }
        const std::string name = path.name;
        const std::string difference = firstDifference(y, reference, rows, &arithmetic);
        if (!difference.empty()) {
            return name + " path differs from the column kernels at " + difference;
        }
        if (!sameBits(input, block)) return name + " path changed x";
        if (!sameBits(selection, flags)) return name + " path changed v";
    }
    return "";
}

std::string checkColumnBlock(const std::uint8_t* data, std::size_t size) {
    const FuzzedBlock block = decodeBlock(data, size);
    // For replaying one input by hand (a timeout, say): print the block first.
    static const bool verbose = std::getenv("ZORVAN_FUZZ_VERBOSE") != nullptr;
    if (verbose) std::fprintf(stderr, "%s", describe(block).c_str());

    const std::vector<double>* v = block.restricted ? &block.v : nullptr;
    const std::vector<double> reference =
        columnKernelReference(block.x, v, block.M, block.N, block.W, block.S);
    const std::string difference =
        differenceOnAnyPath(block.x, v, block.M, block.N, block.W, block.S, reference);
    if (!difference.empty()) {
        std::fprintf(stderr, "\n==== columns fuzzer finding: %s\n%s", difference.c_str(),
                     describe(block).c_str());
        std::fflush(stderr);
        std::abort();
    }
    return blockKind(block);
}

}  // namespace fuzz
