# A bundle for MATLAB as a user takes it: unzipped into a fresh folder, ZIP holds exactly
# FILES, and the gateway suite (PROGRAM, run by RUNNER with PREFIX where given: Wine)
# passes against the MEX files taken from it. With OCTAVE, the self-test also runs on
# those very files in Octave, renamed to Octave's extension, with libmx.so and libmex.so
# from LIBRARIES found on the loader's path. The folder goes again afterwards.
file(REMOVE_RECURSE ${DIR})
file(MAKE_DIRECTORY ${DIR})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${ZIP} WORKING_DIRECTORY ${DIR}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot unzip ${ZIP}")
endif()
file(GLOB_RECURSE found LIST_DIRECTORIES false RELATIVE ${DIR} ${DIR}/*)
list(SORT found)
list(SORT FILES)
if(NOT found STREQUAL FILES)
    file(REMOVE_RECURSE ${DIR})
    message(FATAL_ERROR "${ZIP} holds: ${found}\nexpected: ${FILES}")
endif()
execute_process(COMMAND ${RUNNER} ${PREFIX} ${PROGRAM} ${DIR} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    file(REMOVE_RECURSE ${DIR})
    message(FATAL_ERROR "the gateway suite failed against the MEX files from ${ZIP}")
endif()
if(DEFINED OCTAVE)
    file(GLOB modules ${DIR}/*.mexa64)
    foreach(module IN LISTS modules)
        string(REGEX REPLACE "\\.mexa64$" ".mex" renamed "${module}")
        file(RENAME ${module} ${renamed})
    endforeach()
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${LIBRARIES} ZORVAN_BUNDLE_DIR=${DIR}
                ${OCTAVE} --norc --no-history --quiet --eval
                "addpath (getenv ('ZORVAN_BUNDLE_DIR')); [p, f] = zorvan_test (); exit (f > 0 || p == 0)"
        RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        file(REMOVE_RECURSE ${DIR})
        message(FATAL_ERROR "the self-test failed in Octave on the MEX files from ${ZIP}")
    endif()
endif()
file(REMOVE_RECURSE ${DIR})
