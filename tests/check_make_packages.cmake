# Fails if a target that builds or runs Octave alone would install Windows' tools
# (MinGW-w64, Wine: most of what make test installs), or if make test would not: the
# package lists as `make -n` prints them, for Debian's package names.
find_program(MAKE_PROGRAM NAMES make gmake REQUIRED)
set(windows_tools "^(wine|wine64|g\\+\\+-mingw-w64.*|mingw-w64.*)$")

function(packages_of target result)
    execute_process(COMMAND ${MAKE_PROGRAM} -n -C ${ROOT} ${target}
                    OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "make -n ${target} failed:\n${err}")
    endif()
    string(REGEX MATCHALL "ensure-packages\\.sh[^\n]*" lines "${out}")
    set(packages "")
    foreach(line IN LISTS lines)
        string(REGEX REPLACE "^ensure-packages\\.sh +" "" line "${line}")
        separate_arguments(words UNIX_COMMAND "${line}")
        list(APPEND packages ${words})
    endforeach()
    set(${result} ${packages} PARENT_SCOPE)
endfunction()

foreach(target demo octave package bench-octave accuracy)
    packages_of(${target} packages)
    if(NOT packages)
        message(FATAL_ERROR "make -n ${target} names no package to install")
    endif()
    set(windows ${packages})
    list(FILTER windows INCLUDE REGEX "${windows_tools}")
    if(windows)
        message(FATAL_ERROR "make ${target} would install ${windows}, which it does not use")
    endif()
    message(STATUS "make ${target} installs: ${packages}")
endforeach()

packages_of(test packages)
list(FILTER packages INCLUDE REGEX "${windows_tools}")
list(LENGTH packages found)
if(found LESS 3)
    message(FATAL_ERROR "make test should install MinGW-w64 and Wine for its Windows "
                        "suite; it names only: ${packages}")
endif()
