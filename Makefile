# Entry points for people and CI; the build itself is CMake (see CMakePresets.json).
#   make test       install what is missing, build, run every test suite
#   make test-asan  the same under AddressSanitizer + UndefinedBehaviorSanitizer
#   make bench      release build, then the kernel benchmarks (BENCH_ARGS to change the run)
#   make bench-octave  Zorvan against movmean, filter and a copy, in Octave
# WERROR=ON turns compiler warnings into errors (CI sets it).

WERROR ?= OFF
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
PACKAGES := cmake make g++ libgtest-dev

BENCH_PACKAGES := libbenchmark-dev
BENCH_ARGS ?= --benchmark_repetitions=5 --benchmark_min_time=0.05 --benchmark_report_aggregates_only=true
OCTAVE_MEX_DIR ?= build/octave

.PHONY: all deps build test test-asan bench bench-octave clean

all: build

deps:
	@scripts/ensure-packages.sh $(PACKAGES)

build: deps
	cmake --preset default -DZORVAN_WARNINGS_AS_ERRORS=$(WERROR)
	cmake --build --preset default -j $(JOBS)

test: build
	cd build/default && ctest --output-on-failure

test-asan: deps
	cmake --preset asan -DZORVAN_WARNINGS_AS_ERRORS=$(WERROR)
	cmake --build --preset asan -j $(JOBS)
	cd build/asan && ctest --output-on-failure

bench:
	@scripts/ensure-packages.sh $(PACKAGES) $(BENCH_PACKAGES)
	cmake --preset release -DZORVAN_BENCHMARKS=ON -DZORVAN_WARNINGS_AS_ERRORS=$(WERROR)
	cmake --build --preset release -j $(JOBS) --target zorvan_bench
	build/release/bench/zorvan_bench $(BENCH_ARGS)

bench-octave: octave
	octave-cli --norc --quiet bench/octave_comparison.m $(OCTAVE_MEX_DIR)

clean:
	rm -rf build
