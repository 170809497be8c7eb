# Reads sources.mk, the one list of the MEX files' sources and flags, into variables
# ZORVAN_<NAME> (CMake lists); paths stay relative to the project root.
set(ZORVAN_SOURCE_LIST ${PROJECT_SOURCE_DIR}/sources.mk)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${ZORVAN_SOURCE_LIST})
file(STRINGS ${ZORVAN_SOURCE_LIST} _zorvan_assignments REGEX "^[A-Z0-9_]+ *:=")
foreach(_assignment IN LISTS _zorvan_assignments)
    string(REGEX MATCH "^([A-Z0-9_]+) *:=(.*)$" _ "${_assignment}")
    set(_name ${CMAKE_MATCH_1})
    separate_arguments(_value UNIX_COMMAND "${CMAKE_MATCH_2}")
    set(ZORVAN_${_name} ${_value})
endforeach()

# The same files as absolute paths.
function(zorvan_source_paths variable)
    set(paths ${ARGN})
    list(TRANSFORM paths PREPEND ${PROJECT_SOURCE_DIR}/)
    set(${variable} ${paths} PARENT_SCOPE)
endfunction()

# Whether this target is x86-64, where the AVX sources are built.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|x64)$")
    set(ZORVAN_X86_64 ON)
else()
    set(ZORVAN_X86_64 OFF)
endif()

# The .m files shipped with the MEX files, which must run in MATLAB as in Octave: each
# gateway's help file, the advice it gives where its MEX file is missing, and the
# self-test; all in octave/, where they stand as they do beside the MEX files.
set(ZORVAN_MATLAB_FILES "")
foreach(_gateway IN LISTS ZORVAN_GATEWAYS)
    list(APPEND ZORVAN_MATLAB_FILES ${PROJECT_SOURCE_DIR}/octave/${_gateway}.m)
endforeach()
zorvan_source_paths(_self_test ${ZORVAN_SELF_TEST})
list(APPEND ZORVAN_MATLAB_FILES ${PROJECT_SOURCE_DIR}/octave/private/zorvan_not_built.m
                                ${_self_test})
