// Both averages over whole matrices, timed against a plain copy of the same bytes.
//
// Every iteration copies X into Y (memcpy) and then averages X into Y, each timed on its
// own, so the ratio `x_copy` (average time / copy time) comes from the same run, the
// same buffers and the same load on the machine. Each case runs on every path this
// build and processor have (the column kernels one column at a time among them). After
// the usual report, tables list the medians: every case with restricted / plain of the
// same shape, and the single columns against the floors they are held to, timed in the
// same run: the add chain (two dependent additions per row, in registers), a copy with
// ordinary stores (plain: x in, y out) and x and v streamed into y (restricted); and 16
// columns at lengths near multiples of 128, each against the fastest of them.
//
// Run: make bench  (or build/release/bench/zorvan_bench --benchmark_filter=...)
#include "column_paths.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

enum class Kernel { plain, restricted };
// Which rows the restricted average selects: about two in three, one in a hundred or 99
// in a hundred, at random.
enum class Selection { none, twoInThree, oneInHundred, ninetyNineInHundred };

struct Case {
    Kernel kernel;
    std::int32_t M, N, W, S;
    Selection selection = Selection::none;
};

struct Result {
    double ratio = 0.0;         // median time over copy time
    double nsPerCell = 0.0;     // median nanoseconds per matrix cell
    double versusPlain = 0.0;   // restricted: median time over the plain average's
    double versusFloor = 0.0;   // one column: median time over the longer of moving its
                                // bytes alone and its add chain
    double movingNsPerRow = 0.0;
};

// One set of buffers for every case, sized for the largest; X holds finite values of
// mixed sign, each selection its own irregular pattern.
struct Buffers {
    std::vector<double> x, y, twoInThree, oneInHundred, ninetyNineInHundred;
};

std::vector<double> randomSelection(std::size_t rows, double share, unsigned seed) {
    std::mt19937_64 random(seed);
    std::bernoulli_distribution selected(share);
    std::vector<double> v(rows);
    for (double& a : v) a = selected(random) ? 1.0 : 0.0;
    return v;
}

Buffers& buffersFor(std::size_t cells, std::size_t rows) {
    static Buffers buffers;
    if (buffers.x.size() < cells) {
        std::mt19937_64 random(1);
        std::uniform_real_distribution<double> value(-1000.0, 1000.0);
        buffers.x.resize(cells);
        for (double& a : buffers.x) a = value(random);
        buffers.y.assign(cells, 0.0);
    }
    if (buffers.twoInThree.size() < rows) {
        buffers.twoInThree = randomSelection(rows, 2.0 / 3.0, 2);
        buffers.oneInHundred = randomSelection(rows, 0.01, 3);
        buffers.ninetyNineInHundred = randomSelection(rows, 0.99, 4);
    }
    return buffers;
}

// What a lone column cannot beat beyond the add chain: the bytes it must move with
// ordinary stores, x into y for the plain average, x and v into y for the restricted
// one. `x + 0.0` and `x + v` keep the compiler from making a memcpy of them, which could
// use streaming stores.
void moveLikeTheAverage(const Case& c, const Buffers& b, const double* v, double* y) {
    if (c.kernel == Kernel::plain) {
        for (std::int32_t i = 0; i < c.M; ++i) y[i] = b.x[static_cast<std::size_t>(i)] + 0.0;
    } else {
        for (std::int32_t i = 0; i < c.M; ++i) y[i] = b.x[static_cast<std::size_t>(i)] + v[i];
    }
}

// Two dependent additions per row, the chain a lone column cannot beat, for M rows; the
// empty asm statement keeps the sum in a register without letting the compiler drop or
// merge the additions.
double addChain(std::int32_t M) {
    double sum = 0.0;
    const double step = 1e-9;
#if defined(__GNUC__) && defined(__x86_64__)
    for (std::int32_t i = 0; i < 2 * M; ++i) {
        sum = sum + step;
        asm volatile("" : "+x"(sum));
    }
#else
    static_cast<void>(M), static_cast<void>(step);
#endif
    return sum;
}

// Each iteration times, one after the other on the same buffers: a copy of X, the plain
// average of the same shape (for the restricted cases), the case itself, and for a lone
// column the bytes it moves and its add chain. Their ratios come from the same iterations, so the drift
// of a shared machine cancels out.
void runCase(benchmark::State& state, Case c, const ColumnPath* path) {
    const std::size_t cells = static_cast<std::size_t>(c.M) * static_cast<std::size_t>(c.N);
    Buffers& b = buffersFor(cells, static_cast<std::size_t>(c.M));
    const double* v = c.selection == Selection::oneInHundred          ? b.oneInHundred.data()
                      : c.selection == Selection::ninetyNineInHundred ? b.ninetyNineInHundred.data()
                                                                      : b.twoInThree.data();
    const bool restricted = c.kernel == Kernel::restricted, lone = c.N == 1;
    using Clock = std::chrono::steady_clock;
    auto seconds = [](Clock::time_point from, Clock::time_point to) {
        return std::chrono::duration<double>(to - from).count();
    };
    double copySeconds = 0.0, plainSeconds = 0.0, kernelSeconds = 0.0, movingSeconds = 0.0;
    double floorSeconds = 0.0;
    for (auto _ : state) {
        const auto start = Clock::now();
        std::memcpy(b.y.data(), b.x.data(), cells * sizeof(double));
        benchmark::ClobberMemory();
        const auto copied = Clock::now();
        path->plain(b.x.data(), b.y.data(), c.M, c.N, c.W, c.S);
        benchmark::ClobberMemory();
        const auto plain = Clock::now();
        if (restricted) {
            path->restricted(b.x.data(), v, b.y.data(), c.M, c.N, c.W, c.S);
            benchmark::ClobberMemory();
        }
        const auto averaged = Clock::now();
        if (lone) {
            moveLikeTheAverage(c, b, v, b.y.data());
            benchmark::ClobberMemory();
        }
        const auto moved = Clock::now();
        if (lone) benchmark::DoNotOptimize(addChain(c.M));
        const auto chained = Clock::now();
        const double kernel = restricted ? seconds(plain, averaged) : seconds(copied, plain);
        copySeconds += seconds(start, copied);
        plainSeconds += seconds(copied, plain);
        kernelSeconds += kernel;
        movingSeconds += seconds(averaged, moved);
        floorSeconds += std::max(seconds(averaged, moved), seconds(moved, chained));
        state.SetIterationTime(kernel);
    }
    state.counters["x_copy"] = kernelSeconds / copySeconds;
    if (restricted) state.counters["x_plain"] = kernelSeconds / plainSeconds;
    if (lone) {
        state.counters["x_moving"] = kernelSeconds / movingSeconds;
        state.counters["x_floor"] = kernelSeconds / floorSeconds;
        state.counters["moving_ns_per_row"] = movingSeconds * 1e9 / (static_cast<double>(state.iterations()) * c.M);
    }
    state.counters["ns_per_cell"] =
        kernelSeconds * 1e9 / (static_cast<double>(state.iterations()) * static_cast<double>(cells));
}

// The two limits of a running sum besides the memory, measured on their own: the
// latency of one dependent addition (a column's chain adds twice per row), and the
// throughput of divisions in 256-bit vectors (every output cell is one division). The
// empty asm statements keep the values in registers without letting the compiler drop
// or merge the operations.
#if defined(__GNUC__) && defined(__x86_64__)
void floorAddChain(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(addChain(512));  // 1024 additions
    state.counters["seconds_per_add"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * 1024,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

typedef double Vector4 __attribute__((vector_size(32)));

__attribute__((target("avx"))) void floorDivide(benchmark::State& state) {
    Vector4 dividend[8];
    for (int q = 0; q < 8; ++q) dividend[q] = Vector4{1.0, 2.0, 3.0, 4.0} + q;
    const Vector4 divisor{21.0, 21.0, 21.0, 21.0}, one{1.0, 1.0, 1.0, 1.0};
    for (auto _ : state) {
        for (int i = 0; i < 128; ++i) {
            for (Vector4& d : dividend) {  // eight independent divisions
                Vector4 quotient = d / divisor;
                asm volatile("" : "+x"(quotient));
                d = d + one;
            }
        }
    }
    state.counters["seconds_per_cell"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * 128 * 8 * 4,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
#endif

const char* selectionName(Selection selection) {
    switch (selection) {
    case Selection::none: return "";
    case Selection::twoInThree: return "/V:2in3";
    case Selection::oneInHundred: return "/V:1in100";
    case Selection::ninetyNineInHundred: return "/V:99in100";
    }
    return "";
}

std::string caseName(const Case& c) {
    return std::string(c.kernel == Kernel::plain ? "plain" : "restricted") +
           "/M:" + std::to_string(c.M) + "/N:" + std::to_string(c.N) + "/W:" + std::to_string(c.W) +
           "/S:" + std::to_string(c.S) + selectionName(c.selection);
}

struct Shape {
    std::int32_t M, N;
};

// The matrices: every shape with short, middling and long windows, trailing and centred.
std::vector<Case> matrixCases() {
    const Shape shapes[] = {
        {2000000, 8}, {100000, 64},                        // large: far beyond the caches
        {1000, 16},   {1000, 64},   {4000, 16}, {4000, 64},  // cache-resident
        {4096, 16},   {4096, 64},                            // power-of-two column stride
        {16000000, 1},                                     // a single long column
        {100, 10000},                                      // many short columns
    };
    std::vector<Case> cases;
    for (Kernel kernel : {Kernel::plain, Kernel::restricted}) {
        for (const Shape& shape : shapes) {
            for (std::int32_t W : {3, 21, 1001}) {
                for (std::int32_t S : {0, (W - 1) / 2}) {
                    const Selection selection = kernel == Kernel::plain ? Selection::none : Selection::twoInThree;
                    cases.push_back({kernel, shape.M, shape.N, W, S, selection});
                }
            }
        }
    }
    // The restricted average of several columns, sparse and dense selections.
    for (Selection selection : {Selection::oneInHundred, Selection::ninetyNineInHundred}) {
        cases.push_back({Kernel::restricted, 100000, 16, 21, 10, selection});
    }
    cases.push_back({Kernel::restricted, 100000, 16, 21, 10, Selection::twoInThree});
    cases.push_back({Kernel::plain, 100000, 16, 21, 10, Selection::none});
    return cases;
}

// One column in the caches and beyond them, W 21, S 10, with each selection.
const std::int32_t kSingleColumnRows[] = {100000, 4000000};

std::vector<Case> singleColumnCases() {
    std::vector<Case> cases;
    for (std::int32_t M : kSingleColumnRows) {
        cases.push_back({Kernel::plain, M, 1, 21, 10, Selection::none});
        for (Selection selection :
             {Selection::twoInThree, Selection::oneInHundred, Selection::ninetyNineInHundred}) {
            cases.push_back({Kernel::restricted, M, 1, 21, 10, selection});
        }
    }
    return cases;
}

// 16 columns in the caches at lengths at and beside multiples of 128 (W 21, S 10), where
// the chains' column strides come near multiples of 4 KiB and the chain lag applies or
// not: no length should run much slower than the fastest of them.
const std::int32_t kLengths[] = {1024, 1028, 1040, 2048, 2052, 2064, 4000, 4096,
                                 4098, 4100, 4111, 6144, 8192, 8207, 12288, 12303};

std::vector<Case> lengthCases() {
    std::vector<Case> cases;
    for (Kernel kernel : {Kernel::plain, Kernel::restricted}) {
        for (std::int32_t M : kLengths) {
            cases.push_back({kernel, M, 16, 21, 10,
                             kernel == Kernel::plain ? Selection::none : Selection::twoInThree});
        }
    }
    return cases;
}

// The console report as usual, and the medians kept for the closing tables.
class TableReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, Result> medians;

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if (!median && !single) continue;
            Result& result = medians[run.run_name.function_name];
            result.ratio = counter(run, "x_copy");
            result.nsPerCell = counter(run, "ns_per_cell");
            result.versusPlain = counter(run, "x_plain");
            result.versusFloor = counter(run, "x_floor");
            result.movingNsPerRow = counter(run, "moving_ns_per_row");
            // The floors count seconds per row or per addition.
            if (result.nsPerCell == 0.0) {
                result.nsPerCell = 1e9 * (counter(run, "seconds_per_row") + counter(run, "seconds_per_add"));
            }
        }
    }

private:
    static double counter(const Run& run, const char* name) {
        const auto found = run.counters.find(name);
        return found == run.counters.end() ? 0.0 : found->second.value;
    }
};

std::vector<const ColumnPath*> availablePaths() {
    std::vector<const ColumnPath*> paths;
    for (const ColumnPath& path : columnPaths()) {
        if (path.available()) paths.push_back(&path);
    }
    return paths;
}

const Result* find(const std::map<std::string, Result>& medians, const std::string& name) {
    const auto found = medians.find(name);
    return found == medians.end() ? nullptr : &found->second;
}

std::string formatted(const char* format, double value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

void printMatrixTable(const std::vector<Case>& cases, const std::map<std::string, Result>& medians) {
    const std::vector<const ColumnPath*> paths = availablePaths();
    std::printf("\nMedians of the repetitions: time as a multiple of a copy of the same bytes, "
                "nanoseconds per matrix cell, and restricted / plain of the same shape on the "
                "fastest path (%s).\n\n|kernel | M x N | W | S |", paths[0]->name);
    for (const ColumnPath* path : paths) std::printf(" %s |", path->name);
    for (const ColumnPath* path : paths) std::printf(" ns/cell %s |", path->name);
    std::printf(" restricted / plain |\n|---|---|---|---|");
    for (std::size_t i = 0; i < 2 * paths.size() + 1; ++i) std::printf("---|");
    std::printf("\n");
    for (const Case& c : cases) {
        const std::string name = caseName(c);
        std::string ratios, times;
        bool any = false;
        for (const ColumnPath* path : paths) {
            const Result* result = find(medians, name + "/" + path->name);
            ratios += " " + (result ? formatted("%.2f", result->ratio) : "-") + " |";
            times += " " + (result ? formatted("%.3f", result->nsPerCell) : "-") + " |";
            any = any || result != nullptr;
        }
        if (!any) continue;
        std::string versusPlain = "";
        const Result* fastest = find(medians, name + "/" + paths[0]->name);
        if (c.kernel == Kernel::restricted && fastest) versusPlain = formatted("%.2f", fastest->versusPlain);
        const bool usual = c.selection == Selection::none || c.selection == Selection::twoInThree;
        std::printf("| %s%s%s | %d x %d | %d | %d |%s%s %s |\n",
                    c.kernel == Kernel::plain ? "plain" : "restricted", usual ? "" : " ",
                    usual ? "" : selectionName(c.selection) + 3, c.M, c.N, c.W, c.S,
                    ratios.c_str(), times.c_str(), versusPlain.c_str());
    }
}

// A lone column against its floor: the longer of its add chain (two additions per row)
// and moving its bytes (a copy for the plain average, x and v into y for the restricted
// one), both timed in the same iterations as the column.
void printSingleColumnTable(const std::vector<Case>& cases, const std::map<std::string, Result>& medians) {
    const Result* add = find(medians, "floor/add_chain");
    if (add == nullptr) return;
    const double chain = 2.0 * add->nsPerCell;
    const std::vector<const ColumnPath*> paths = availablePaths();
    std::printf("\nOne column, nanoseconds per row on each path; on the fastest (%s) the bytes "
                "moved alone, and the time as a multiple of the floor: the add chain (%.3f ns "
                "per row) or the bytes moved, whichever is longer.\n\n| kernel | M | selection |",
                paths[0]->name, chain);
    for (const ColumnPath* path : paths) std::printf(" %s |", path->name);
    std::printf(" bytes moved | %s / floor |\n|---|---|---|", paths[0]->name);
    for (std::size_t i = 0; i < paths.size() + 2; ++i) std::printf("---|");
    std::printf("\n");
    for (const Case& c : cases) {
        const bool plain = c.kernel == Kernel::plain;
        std::printf("| %s | %d | %s |", plain ? "plain" : "restricted", c.M,
                    plain ? "-" : selectionName(c.selection) + 3);
        for (const ColumnPath* path : paths) {
            const Result* result = find(medians, caseName(c) + "/" + path->name);
            std::printf(" %s |", result ? formatted("%.3f", result->nsPerCell).c_str() : "-");
        }
        const Result* fastest = find(medians, caseName(c) + "/" + paths[0]->name);
        if (fastest == nullptr) {
            std::printf(" - | - |\n");
            continue;
        }
        std::printf(" %.3f | %.2f |\n", fastest->movingNsPerRow, fastest->versusFloor);
    }
}

// The lengths' nanoseconds per cell on each path, and each as a multiple of the mean of
// the fastest quarter of the lengths, per path and kernel.
void printLengthTable(const std::vector<Case>& cases, const std::map<std::string, Result>& medians) {
    const std::vector<const ColumnPath*> paths = availablePaths();
    std::printf("\n16 columns at lengths near multiples of 128, W 21, S 10: nanoseconds per "
                "cell, and (in brackets) the multiple of the fastest quarter of the lengths.\n\n"
                "| kernel | M |");
    for (const ColumnPath* path : paths) std::printf(" %s |", path->name);
    std::printf("\n|---|---|");
    for (std::size_t i = 0; i < paths.size(); ++i) std::printf("---|");
    std::printf("\n");
    std::map<std::pair<Kernel, std::string>, double> fastestQuarter;  // by kernel and path
    for (const ColumnPath* path : paths) {
        for (Kernel kernel : {Kernel::plain, Kernel::restricted}) {
            std::vector<double> times;
            for (const Case& c : cases) {
                const Result* result = find(medians, caseName(c) + "/" + path->name);
                if (c.kernel == kernel && result) times.push_back(result->nsPerCell);
            }
            if (times.empty()) continue;
            std::sort(times.begin(), times.end());
            const std::size_t quarter = std::max<std::size_t>(1, times.size() / 4);
            double total = 0.0;
            for (std::size_t i = 0; i < quarter; ++i) total += times[i];
            fastestQuarter[{kernel, path->name}] = total / static_cast<double>(quarter);
        }
    }
    for (const Case& c : cases) {
        std::printf("| %s | %d |", c.kernel == Kernel::plain ? "plain" : "restricted", c.M);
        for (const ColumnPath* path : paths) {
            const Result* result = find(medians, caseName(c) + "/" + path->name);
            const double quarter = fastestQuarter[{c.kernel, path->name}];
            if (result == nullptr || quarter == 0.0) {
                std::printf(" - |");
                continue;
            }
            std::printf(" %.3f (%.2f) |", result->nsPerCell, result->nsPerCell / quarter);
        }
        std::printf("\n");
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<Case> matrices = matrixCases();
    const std::vector<Case> singles = singleColumnCases();
    const std::vector<Case> lengths = lengthCases();
    std::set<std::string> registered;  // a length may also be one of the matrices
    for (const std::vector<Case>* cases : {&matrices, &singles, &lengths}) {
        for (const Case& c : *cases) {
            for (const ColumnPath* path : availablePaths()) {
                const std::string name = caseName(c) + "/" + path->name;
                if (!registered.insert(name).second) continue;
                benchmark::RegisterBenchmark(name.c_str(), runCase, c, path)
                    ->UseManualTime()
                    ->Unit(benchmark::kMillisecond);
            }
        }
    }
#if defined(__GNUC__) && defined(__x86_64__)
    benchmark::RegisterBenchmark("floor/add_chain", floorAddChain);
    if (__builtin_cpu_supports("avx")) benchmark::RegisterBenchmark("floor/divide_avx", floorDivide);
#endif
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printMatrixTable(matrices, reporter.medians);
    printSingleColumnTable(singles, reporter.medians);
    printLengthTable(lengths, reporter.medians);
    benchmark::Shutdown();
    return 0;
}
