// Both averages over whole matrices, timed against a plain copy of the same bytes.
//
// Every iteration copies X into Y (memcpy) and then averages X into Y, each timed on its
// own, so the ratio `x_copy` (average time / copy time) comes from the same run, the
// same buffers and the same load on the machine. Each case runs on the widest path this
// processor has, on the 128-bit path, and one column at a time as the gateways did
// before the multi-column path existed. After the usual report a table lists the medians
// of every case.
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
#include <string>
#include <vector>

namespace {

enum class Kernel { plain, restricted };

struct Case {
    Kernel kernel;
    std::int32_t M, N, W, S;
};

struct Result {
    double ratio = 0.0;      // median time over copy time
    double nsPerCell = 0.0;  // median nanoseconds per matrix cell
};

const ColumnPath kPaths[] = {ColumnPath::avx, ColumnPath::sse2, ColumnPath::columnAtATime};

const char* pathName(ColumnPath path) {
    switch (path) {
    case ColumnPath::avx: return "avx";
    case ColumnPath::sse2: return "sse2";
    case ColumnPath::columnAtATime: return "column";
    }
    return "?";
}

// One set of buffers for every case, sized for the largest; X holds finite values of
// mixed sign, V selects about two rows in three in an irregular pattern.
struct Buffers {
    std::vector<double> x, y, v;
};

Buffers& buffersFor(std::size_t cells, std::size_t rows) {
    static Buffers buffers;
    if (buffers.x.size() < cells) {
        std::mt19937_64 random(1);
        std::uniform_real_distribution<double> value(-1000.0, 1000.0);
        buffers.x.resize(cells);
        for (double& a : buffers.x) a = value(random);
        buffers.y.assign(cells, 0.0);
    }
    if (buffers.v.size() < rows) {
        std::mt19937_64 random(2);
        std::bernoulli_distribution selected(2.0 / 3.0);
        buffers.v.resize(rows);
        for (double& a : buffers.v) a = selected(random) ? 1.0 : 0.0;
    }
    return buffers;
}

void runCase(benchmark::State& state, Case c, ColumnPath path) {
    if (!columnPathAvailable(path)) {
        state.SkipWithError("path not available on this processor");
        return;
    }
    const std::size_t cells = static_cast<std::size_t>(c.M) * static_cast<std::size_t>(c.N);
    Buffers& b = buffersFor(cells, static_cast<std::size_t>(c.M));
    using Clock = std::chrono::steady_clock;
    double copySeconds = 0.0, kernelSeconds = 0.0;
    for (auto _ : state) {
        const auto start = Clock::now();
        std::memcpy(b.y.data(), b.x.data(), cells * sizeof(double));
        benchmark::ClobberMemory();
        const auto copied = Clock::now();
        if (c.kernel == Kernel::plain) {
            movingAverageColumnsOn(path, b.x.data(), b.y.data(), c.M, c.N, c.W, c.S);
        } else {
            restrictedMovingAverageColumnsOn(path, b.x.data(), b.v.data(), b.y.data(), c.M, c.N,
                                             c.W, c.S);
        }
        benchmark::ClobberMemory();
        const auto averaged = Clock::now();
        const double copy = std::chrono::duration<double>(copied - start).count();
        const double kernel = std::chrono::duration<double>(averaged - copied).count();
        copySeconds += copy;
        kernelSeconds += kernel;
        state.SetIterationTime(kernel);
    }
    state.counters["x_copy"] = kernelSeconds / copySeconds;
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
    double sum = 0.0;
    const double step = 1e-9;
    for (auto _ : state) {
        for (int i = 0; i < 1024; ++i) {
            sum = sum + step;
            asm volatile("" : "+x"(sum));
        }
    }
    benchmark::DoNotOptimize(sum);
    state.counters["ns_per_add"] = benchmark::Counter(
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
    state.counters["ns_per_cell"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * 128 * 8 * 4,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
#endif

std::string caseName(const Case& c) {
    return std::string(c.kernel == Kernel::plain ? "plain" : "restricted") +
           "/M:" + std::to_string(c.M) + "/N:" + std::to_string(c.N) + "/W:" + std::to_string(c.W) +
           "/S:" + std::to_string(c.S);
}

std::vector<Case> allCases() {
    struct Shape {
        std::int32_t M, N;
    };
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
                    cases.push_back({kernel, shape.M, shape.N, W, S});
                }
            }
        }
    }
    return cases;
}

// The console report as usual, and the medians kept for the closing table.
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
        }
    }

private:
    static double counter(const Run& run, const char* name) {
        const auto found = run.counters.find(name);
        return found == run.counters.end() ? 0.0 : found->second.value;
    }
};

void printTable(const std::vector<Case>& cases, const std::map<std::string, Result>& medians) {
    std::printf("\nMedians of the repetitions: time as a multiple of a copy of the same bytes, "
                "and nanoseconds per matrix cell.\n\n");
    std::printf("| kernel | M x N | W | S | avx | sse2 | column at a time "
                "| ns/cell avx | sse2 | column |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|\n");
    for (const Case& c : cases) {
        const std::string name = caseName(c);
        std::string ratios, times;
        bool any = false;
        for (ColumnPath path : kPaths) {
            const auto found = medians.find(name + "/" + pathName(path));
            char ratio[32] = "-", time[32] = "-";
            if (found != medians.end()) {
                std::snprintf(ratio, sizeof ratio, "%.2f", found->second.ratio);
                std::snprintf(time, sizeof time, "%.3f", found->second.nsPerCell);
                any = true;
            }
            ratios += std::string(" ") + ratio + " |";
            times += std::string(" ") + time + " |";
        }
        if (!any) continue;
        std::printf("| %s | %d x %d | %d | %d |%s%s\n",
                    c.kernel == Kernel::plain ? "plain" : "restricted", c.M, c.N, c.W, c.S,
                    ratios.c_str(), times.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<Case> cases = allCases();
    for (const Case& c : cases) {
        for (ColumnPath path : kPaths) {
            benchmark::RegisterBenchmark((caseName(c) + "/" + pathName(path)).c_str(), runCase, c, path)
                ->UseManualTime()
                ->Unit(benchmark::kMillisecond);
        }
    }
#if defined(__GNUC__) && defined(__x86_64__)
    benchmark::RegisterBenchmark("floor/add_chain", floorAddChain);
    if (columnPathAvailable(ColumnPath::avx)) benchmark::RegisterBenchmark("floor/divide_avx", floorDivide);
#endif
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printTable(cases, reporter.medians);
    benchmark::Shutdown();
    return 0;
}
