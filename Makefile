# Entry points for people and CI; the build itself is CMake (see CMakePresets.json).
#   make test       install what is missing, build, run every test suite
#   make test-asan  the same under AddressSanitizer + UndefinedBehaviorSanitizer, built
#                   with g++ and again with clang++ (whose ASan also sees partial loads)
#   make test-arm64 the kernels and their tests cross-built for 64-bit ARM, run under
#                   qemu-aarch64 (this proves the bits, not the speed)
#   make octave     Octave's own kind of function in build/octave, the MEX files and
#                   their help in build/octave-mex
#   make package    the Octave package build/dist/zorvan-<version>.tar.gz
#   make test-octave-versions  the package installed and tested on the Octave of other
#                   Debian releases (6.2, 9.4, 11), each in a chroot made once with
#                   debootstrap and kept in /var/cache/zorvan/chroots (root only)
#   make demo       build for Octave and run the demo: a table, and build/demo.png
#   make windows    build/windows/Zorvan.mexw64 and ZorvanRestricted.mexw64 (MinGW-w64)
#   make dist       the bundles users take, in build/dist: the Windows and Linux zips
#                   for MATLAB and the Octave package
#   make fuzz       build the fuzzers (clang, libFuzzer), replay fuzz/corpus, then fuzz
#                   both gateways for FUZZ_SECONDS (default 60); then the same for the
#                   multi-column paths (fuzz/columns-corpus); a finding fails
#   make bench      release build, then the kernel benchmarks (BENCH_ARGS to change the run)
#   make bench-octave  Zorvan's two routes into Octave, movmean, filter and a copy
#   make accuracy   what a running sum's rounding does, measured (bench/accuracy.m)
# WERROR=ON turns compiler warnings into errors (CI sets it). WINDOWS=OFF leaves the
# Windows suite (MinGW-w64 and Wine) out of make test.

# CMake reads a ';' as the end of one path in a list and the start of the next, so no
# CMake build works in a folder whose path holds one: say so rather than fail within it.
ifneq (,$(findstring ;,$(CURDIR)))
$(error This folder's path holds a ';', which CMake cannot take in a path: move or rename \
the folder to build here ($(CURDIR)). Octave's zorvan_build works from it)
endif

WERROR ?= OFF
WINDOWS ?= ON
MAKEFLAGS += --no-print-directory
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
# What configuring any native build needs (GoogleTest: the tests are part of it).
BUILD_PACKAGES := cmake make g++ libgtest-dev
# Octave with mkoctfile and mex.h (octave-dev, which liboctave-dev stands for), gnuplot
# without a GUI for headless plots and the FreeSans font Octave renders text with: what
# the demo, the Octave builds and the Octave benchmarks use.
OCTAVE_PACKAGES := octave octave-dev gnuplot-nox fonts-freefont-otf
# Only the suites: the parallel package with what its loopback cluster test uses (ip, ss,
# pkill).
OCTAVE_TEST_PACKAGES := octave-parallel iproute2 procps
# The Windows cross build, and Wine to run its suite: make test tests the deliverables.
WINDOWS_PACKAGES := g++-mingw-w64-x86-64-posix
WINE_PACKAGES := wine wine64
OCTAVE_BUILD_PACKAGES := $(BUILD_PACKAGES) $(OCTAVE_PACKAGES)
PACKAGES := $(OCTAVE_BUILD_PACKAGES) $(OCTAVE_TEST_PACKAGES) \
            $(if $(filter ON,$(WINDOWS)),$(WINDOWS_PACKAGES) $(WINE_PACKAGES))
CONFIGURE_DEFAULT := cmake --preset default -DZORVAN_WARNINGS_AS_ERRORS=$(WERROR) \
                     -DZORVAN_WINDOWS_SUITE=$(WINDOWS)
# The Octave targets ask for no Windows suite: it runs where MinGW-w64 and Wine are found.
CONFIGURE_OCTAVE := cmake --preset default -DZORVAN_WARNINGS_AS_ERRORS=$(WERROR) \
                    -DZORVAN_WINDOWS_SUITE=$(if $(filter ON,$(WINDOWS)),AUTO,OFF)

ARM_PACKAGES := cmake make g++-aarch64-linux-gnu qemu-user libgtest-dev
CLANG_PACKAGES := clang libclang-rt-14-dev

FUZZ_SECONDS ?= 60
FUZZ_PACKAGES := cmake make g++ $(CLANG_PACKAGES)

BENCH_PACKAGES := libbenchmark-dev
BENCH_ARGS ?= --benchmark_repetitions=5 --benchmark_min_time=0.05 --benchmark_report_aggregates_only=true
OCTAVE_DIR ?= build/octave
OCTAVE_MEX_DIR ?= build/octave-mex

.PHONY: all deps deps-octave build test test-asan test-arm64 test-octave-versions octave package demo windows dist deps-windows fuzz bench bench-octave accuracy clean

all: build

deps:
	@scripts/ensure-packages.sh $(PACKAGES)

deps-octave:
	@scripts/ensure-packages.sh $(OCTAVE_BUILD_PACKAGES)

build: deps
	$(CONFIGURE_DEFAULT)
	cmake --build --preset default -j $(JOBS)

test: build
	cd build/default && ctest --output-on-failure

test-asan: deps
	@scripts/ensure-packages.sh $(CLANG_PACKAGES)
	cmake --preset asan -DZORVAN_WARNINGS_AS_ERRORS=$(WERROR)
	cmake --build --preset asan -j $(JOBS)
	cd build/asan && ctest --output-on-failure
	cmake --preset asan-clang -DZORVAN_WARNINGS_AS_ERRORS=$(WERROR)
	cmake --build --preset asan-clang -j $(JOBS)
	cd build/asan-clang && ctest --output-on-failure

test-arm64:
	@scripts/ensure-packages.sh $(ARM_PACKAGES)
	cmake --preset arm64 -DZORVAN_WARNINGS_AS_ERRORS=$(WERROR)
	cmake --build --preset arm64 -j $(JOBS)
	cd build/arm64 && ctest --output-on-failure

test-octave-versions: deps
	@scripts/ensure-packages.sh debootstrap
	$(CONFIGURE_DEFAULT)
	cmake --build --preset default -j $(JOBS) --target zorvan_octave_versions

octave package demo: deps-octave
	$(CONFIGURE_OCTAVE)
	cmake --build --preset default -j $(JOBS) --target zorvan_$@

windows: deps
	@scripts/ensure-packages.sh $(WINDOWS_PACKAGES)
	cmake --preset windows -DZORVAN_WARNINGS_AS_ERRORS=$(WERROR)
	cmake --build --preset windows -j $(JOBS) --target Zorvan ZorvanRestricted

dist: package
	cmake --build --preset default -j $(JOBS) --target zorvan_glnxa64_bundle
	@scripts/ensure-packages.sh $(WINDOWS_PACKAGES)
	cmake --preset windows -DZORVAN_WARNINGS_AS_ERRORS=$(WERROR)
	cmake --build --preset windows -j $(JOBS) --target zorvan_win64_bundle
	@ls -l build/dist

deps-windows:
	@scripts/ensure-packages.sh $(WINDOWS_PACKAGES) $(WINE_PACKAGES)

fuzz:
	@scripts/ensure-packages.sh $(FUZZ_PACKAGES)
	cmake --preset fuzz -DZORVAN_WARNINGS_AS_ERRORS=$(WERROR)
	cmake --build --preset fuzz -j $(JOBS)
	scripts/fuzz.sh build/fuzz $(FUZZ_SECONDS)

bench:
	@scripts/ensure-packages.sh $(OCTAVE_BUILD_PACKAGES) $(BENCH_PACKAGES)
	cmake --preset release -DZORVAN_BENCHMARKS=ON -DZORVAN_WARNINGS_AS_ERRORS=$(WERROR)
	cmake --build --preset release -j $(JOBS) --target zorvan_bench
	@echo "Note: \"Library was built as DEBUG\" below is about Debian's build of Google Benchmark;"
	@echo "      the code it times is ours, optimised by the release preset. About 8 minutes."
	build/release/bench/zorvan_bench $(BENCH_ARGS)

bench-octave: octave
	@echo "Zorvan's two routes, movmean, filter and a copy in Octave: about 2 minutes, row by row."
	octave-cli --norc --quiet bench/octave_comparison.m $(OCTAVE_DIR) $(OCTAVE_MEX_DIR)

accuracy: octave
	octave-cli --norc --quiet bench/accuracy.m $(OCTAVE_DIR)

clean:
	rm -rf build
