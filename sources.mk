# What the two MEX files and the two Octave-native functions are built from, and the
# flags that keep them bit-exact: named here once. CMake (cmake/ZorvanSources.cmake),
# the Octave package's src/Makefile and octave/zorvan_build.m all read this file, so a
# new source is added on one line.
# Format: NAME := words, one assignment per line; paths from the project root.

# The gateways: mex/NAME.cpp becomes the MEX file NAME, octave/native/NAME.cc the
# Octave-native function NAME.
GATEWAYS := Zorvan ZorvanRestricted
# The argument checks and the scalar conversion, for every host: compiled into every
# MEX file and every Octave-native function.
COMMON_SOURCES := mex/argument_checks.cpp
# Compiled into every MEX file with its gateway: the checks reached through the MEX API.
MEX_SOURCES := mex/gateway_common.cpp
# The Octave-native functions: octave/native/NAME.cc becomes the oct-file NAME (one for
# each gateway) with these, the common and the kernel sources, and NAME_help.h, which is
# made from octave/NAME.m when building.
NATIVE_SOURCES := octave/native/octave_call.cc
NATIVE_HEADERS := octave/native/octave_call.h
# The column kernels, the path table (columns.cpp) and the paths; each path's source
# compiles to nothing where its processor is not the target, and the AVX path's functions
# are compiled for AVX by the compiler itself, function by function.
KERNEL_SOURCES := kernels/moving_average.cpp kernels/restricted_moving_average.cpp kernels/columns.cpp kernels/columns_scalar.cpp kernels/columns_sse2.cpp kernels/columns_avx.cpp kernels/columns_neon.cpp
KERNEL_HEADERS := mex/argument_checks.h mex/gateway_common.h kernels/moving_average.h kernels/columns.h kernels/column_paths.h kernels/column_groups.h kernels/column_phases.h kernels/column_chains.h kernels/lone_column.h kernels/selection.h kernels/engine_tuning.h kernels/target.h kernels/scalar_lanes.h kernels/sse2_lanes.h kernels/avx_lanes.h kernels/neon_lanes.h

# The self-test users run in MATLAB and Octave, shipped beside the functions in the
# Windows bundle and the Octave package.
SELF_TEST := octave/zorvan_test.m

# The language standard, for every builder (CMake takes the number).
STANDARD := 17
# Every unit: no fused multiply-add, no reassociation, plain IEEE doubles.
FP_FLAGS := -ffp-contract=off -fno-fast-math
FP_FLAGS_MSVC := /fp:precise
# Our warnings, where the compiler is GCC or Clang.
WARNING_FLAGS := -Wall -Wextra -Wconversion
# MinGW-w64 only: Windows keeps the stack 16-byte aligned, so the AVX path must not spill
# 32-byte values with aligned moves.
MINGW_FLAGS := -Wa,-muse-unaligned-vector-move
