# Settings every target of ours links to, so nothing is set globally.
include(${CMAKE_CURRENT_LIST_DIR}/ZorvanSources.cmake)

# Results must be bit-identical to the specified order of operations: no fused
# multiply-add, no reassociation, plain IEEE doubles.
add_library(zorvan_floating_point INTERFACE)
target_compile_options(zorvan_floating_point INTERFACE
    "$<$<CXX_COMPILER_ID:GNU,Clang>:${ZORVAN_FP_FLAGS}>"
    "$<$<CXX_COMPILER_ID:MSVC>:${ZORVAN_FP_FLAGS_MSVC}>")

add_library(zorvan_warnings INTERFACE)
target_compile_options(zorvan_warnings INTERFACE
    "$<$<CXX_COMPILER_ID:GNU,Clang>:${ZORVAN_WARNING_FLAGS}>"
    $<$<CXX_COMPILER_ID:MSVC>:/W4>)
if(ZORVAN_WARNINGS_AS_ERRORS)
    target_compile_options(zorvan_warnings INTERFACE
        $<$<CXX_COMPILER_ID:GNU,Clang>:-Werror>
        $<$<CXX_COMPILER_ID:MSVC>:/WX>)
endif()

add_library(zorvan_sanitizers INTERFACE)
if(ZORVAN_SANITIZE OR ZORVAN_FUZZ)
    set(_zorvan_sanitize_flags -fsanitize=address,undefined -fno-sanitize-recover=all
        -fno-omit-frame-pointer)
    target_compile_options(zorvan_sanitizers INTERFACE ${_zorvan_sanitize_flags})
    target_link_options(zorvan_sanitizers INTERFACE ${_zorvan_sanitize_flags})
endif()

# The fuzzing build: coverage feedback for libFuzzer from every target of ours, and a
# division by zero reported as a fault (no mean may divide by an empty count).
if(ZORVAN_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "ZORVAN_FUZZ needs clang++ (libFuzzer); use the fuzz preset")
    endif()
    target_compile_options(zorvan_sanitizers INTERFACE
        -fsanitize=fuzzer-no-link,float-divide-by-zero)
    target_link_options(zorvan_sanitizers INTERFACE -fsanitize=float-divide-by-zero)
endif()

add_library(zorvan_defaults INTERFACE)
target_compile_features(zorvan_defaults INTERFACE cxx_std_${ZORVAN_STANDARD})
target_link_libraries(zorvan_defaults INTERFACE
    zorvan_floating_point zorvan_warnings zorvan_sanitizers)
if(MINGW)  # the AVX path's 32-byte values on Windows' 16-byte aligned stack
    target_compile_options(zorvan_defaults INTERFACE ${ZORVAN_MINGW_FLAGS})
endif()
