# GoogleTest built for a cross target from Debian's sources (its package holds
# libraries for the build machine only).
set(ZORVAN_GOOGLETEST_SOURCE /usr/src/googletest/googletest
    CACHE PATH "GoogleTest sources, built for the target")
if(NOT EXISTS ${ZORVAN_GOOGLETEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest sources in ${ZORVAN_GOOGLETEST_SOURCE} "
                        "(Debian: apt-get install libgtest-dev)")
endif()
add_subdirectory(${ZORVAN_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
