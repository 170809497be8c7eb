# Fails if the AVX-compiled object among OBJECTS defines anything but its two entry
# points: an inline or template function defined there (a weak symbol) could be picked
# by the linker for a caller on a processor without AVX.
foreach(object IN LISTS OBJECTS)
    if(object MATCHES "columns_avx")
        set(avx_object ${object})
    endif()
endforeach()
if(NOT avx_object)
    message(FATAL_ERROR "no AVX object among ${OBJECTS}")
endif()
execute_process(COMMAND ${NM} --defined-only --extern-only ${avx_object}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${NM} failed on ${avx_object}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${symbols}")
set(defined "")
foreach(line IN LISTS lines)
    string(REGEX REPLACE "^.* " "" name "${line}")
    # Type descriptions (clang's UBSan emits them for its function checks) are data,
    # the same whatever the instruction set.
    if(NOT name MATCHES "ColumnsAvx" AND NOT name MATCHES "^_ZT[IS]")
        list(APPEND defined ${name})
    endif()
endforeach()
if(defined)
    message(FATAL_ERROR "${avx_object} also defines: ${defined}")
endif()
message(STATUS "${avx_object} defines only its entry points")
