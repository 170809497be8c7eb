# The test programs of the Windows cross build: GoogleTest built for Windows, the C++
# runtime DLLs beside the programs, and every test run under Wine in a prefix of its own.
include(${CMAKE_CURRENT_LIST_DIR}/../googletest_from_source.cmake)

# The stand-in host (libmx.dll, libmex.dll) and the test programs share one C++ runtime,
# the toolchain's DLLs, as a real host keeps one runtime for itself. An error thrown in
# libmex.dll and caught in the program is then known to one runtime; were each linked
# statically, the catcher's count of uncaught exceptions would go wrong. The MEX files
# carry their own static runtime: they only unwind, never catch.
set(runtime_dlls "")
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(IS_ABSOLUTE "${path}" AND EXISTS "${path}")
        list(APPEND runtime_dlls ${path})
    endif()
endforeach()
add_custom_target(zorvan_runtime_dlls
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${runtime_dlls}
            ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
    COMMENT "Copying the C++ runtime DLLs beside the test programs"
    VERBATIM)
add_dependencies(gtest zorvan_runtime_dlls)  # every test program links GoogleTest

# The prefix stays out of the project tree: Wine maps its drive Z: to /, a link that
# would lead anyone walking the tree (genpath, find -L) through the whole file system.
# It is shared by every build folder and made once.
if(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
    set(_cache_home $ENV{XDG_CACHE_HOME})
elseif(DEFINED ENV{HOME} AND NOT "$ENV{HOME}" STREQUAL "")
    set(_cache_home $ENV{HOME}/.cache)
else()
    set(_cache_home /tmp)
endif()
set(ZORVAN_WINE_PREFIX ${_cache_home}/zorvan/wine-prefix CACHE PATH
    "The Wine prefix the Windows tests run in (outside the project tree)")
cmake_path(IS_PREFIX PROJECT_SOURCE_DIR "${ZORVAN_WINE_PREFIX}" NORMALIZE _inside)
if(_inside)
    message(FATAL_ERROR "ZORVAN_WINE_PREFIX must lie outside the project tree")
endif()
# Earlier builds kept the prefix here.
file(REMOVE_RECURSE ${PROJECT_BINARY_DIR}/wine-prefix ${PROJECT_BINARY_DIR}/wine-prefix.lock)
set(ZORVAN_WINE_RUN ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
set(CMAKE_CROSSCOMPILING_EMULATOR ${ZORVAN_WINE_RUN} ${ZORVAN_WINE_PREFIX})
