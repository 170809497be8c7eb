# The test programs of the Windows cross build: GoogleTest built from Debian's sources
# (its package holds libraries for the build machine only), the C++ runtime DLLs beside
# the programs, and every test run under Wine in a prefix inside the build folder.
set(ZORVAN_GOOGLETEST_SOURCE /usr/src/googletest/googletest
    CACHE PATH "GoogleTest sources, built for the target")
if(NOT EXISTS ${ZORVAN_GOOGLETEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest sources in ${ZORVAN_GOOGLETEST_SOURCE} "
                        "(Debian: apt-get install libgtest-dev)")
endif()
add_subdirectory(${ZORVAN_GOOGLETEST_SOURCE} ${CMAKE_CURRENT_BINARY_DIR}/googletest
                 EXCLUDE_FROM_ALL)

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
    COMMENT "Copying the C++ runtime DLLs beside the test programs")
add_dependencies(gtest zorvan_runtime_dlls)  # every test program links GoogleTest

set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${PROJECT_BINARY_DIR}/wine-prefix)
