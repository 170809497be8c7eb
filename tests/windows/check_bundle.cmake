# The Windows bundle as a user takes it: unzipped into a fresh folder, it holds exactly
# FILES, and the gateway suite (PROGRAM, run by RUNNER under Wine) passes against the
# MEX files taken from it. The folder goes again afterwards.
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
file(REMOVE_RECURSE ${DIR})
if(NOT status EQUAL 0)
    message(FATAL_ERROR "the gateway suite failed against the MEX files from ${ZIP}")
endif()
