# Entry points for people and CI; the build itself is CMake (see CMakePresets.json).
#   make test       install what is missing, build, run every test suite
#   make test-asan  the same under AddressSanitizer + UndefinedBehaviorSanitizer
#   make fuzz       build the gateway fuzzer (clang, libFuzzer), replay fuzz/corpus, then
#                   fuzz both gateways for FUZZ_SECONDS (default 60); a finding fails
# WERROR=ON turns compiler warnings into errors (CI sets it).

WERROR ?= OFF
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
PACKAGES := cmake make g++ libgtest-dev
FUZZ_SECONDS ?= 60
FUZZ_PACKAGES := cmake make g++ clang libclang-rt-14-dev

.PHONY: all deps build test test-asan fuzz clean

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

fuzz:
	@scripts/ensure-packages.sh $(FUZZ_PACKAGES)
	cmake --preset fuzz -DZORVAN_WARNINGS_AS_ERRORS=$(WERROR)
	cmake --build --preset fuzz -j $(JOBS)
	scripts/fuzz.sh build/fuzz $(FUZZ_SECONDS)

clean:
	rm -rf build
