# Reads the PE tables of Windows MEX files with objdump -p and fails unless each
#  - exports exactly one function, mexFunction;
#  - imports only from the DLLs named by the import lists (libmx.def, libmex.def) and
#    from Windows' own system DLLs, so no MinGW runtime DLL is needed;
#  - imports from those DLLs only the operations on their lists;
# and unless the MEX files together use every listed operation, so the lists stay exact.
#
# cmake -DOBJDUMP=<objdump> -P check_pe_tables.cmake MODULES <file>... IMPORT_LISTS <def>...
cmake_minimum_required(VERSION 3.25)

# The words after the script's name.
math(EXPR last "${CMAKE_ARGC} - 1")
set(arguments "")
set(script_index ${CMAKE_ARGC})
foreach(i RANGE ${last})
    if(i GREATER script_index)
        list(APPEND arguments "${CMAKE_ARGV${i}}")
    elseif("${CMAKE_ARGV${i}}" STREQUAL "-P")
        math(EXPR script_index "${i} + 1")
    endif()
endforeach()
cmake_parse_arguments(PE "" "" "MODULES;IMPORT_LISTS" ${arguments})
if(NOT OBJDUMP OR NOT PE_MODULES OR NOT PE_IMPORT_LISTS)
    message(FATAL_ERROR "usage: cmake -DOBJDUMP=... -P check_pe_tables.cmake "
                        "MODULES <file>... IMPORT_LISTS <def>...")
endif()

# Windows' own DLLs: the kernel and the C runtime that every Windows has.
set(system_dll_pattern "^(kernel32|msvcrt|ucrtbase|api-ms-win-[a-z0-9-]+)\\.dll$")

# The import lists: DLL name (lower case) -> listed operations.
set(host_dlls "")
foreach(def IN LISTS PE_IMPORT_LISTS)
    file(STRINGS ${def} lines)
    set(dll "")
    set(operations "")
    set(in_exports FALSE)
    foreach(line IN LISTS lines)
        string(REGEX REPLACE ";.*" "" line "${line}")
        string(STRIP "${line}" line)
        if(line MATCHES "^LIBRARY[ \t]+\"?([^ \t\"]+)")
            string(TOLOWER "${CMAKE_MATCH_1}" dll)
        elseif(line STREQUAL "EXPORTS")
            set(in_exports TRUE)
        elseif(in_exports AND line MATCHES "^([A-Za-z_][A-Za-z0-9_]*)")
            list(APPEND operations ${CMAKE_MATCH_1})
        endif()
    endforeach()
    if(dll STREQUAL "" OR NOT operations)
        message(FATAL_ERROR "${def}: no LIBRARY line or no EXPORTS")
    endif()
    list(APPEND host_dlls ${dll})
    set(listed_${dll} ${operations})
    set(used_${dll} "")
endforeach()

set(failures "")
foreach(module IN LISTS PE_MODULES)
    get_filename_component(name ${module} NAME)
    execute_process(COMMAND ${OBJDUMP} -p ${module}
                    OUTPUT_VARIABLE dump ERROR_VARIABLE errors RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${OBJDUMP} -p ${module} failed: ${errors}")
    endif()
    string(REPLACE ";" "," dump "${dump}")  # keep CMake's list separator out of the lines
    string(REPLACE "\n" ";" lines "${dump}")

    set(section "")
    set(dll "")
    set(address_entries 0)
    set(exports "")
    foreach(line IN LISTS lines)
        if(line MATCHES "^[ \t]*$")
            if(section STREQUAL "export names" OR section STREQUAL "export addresses")
                set(section "")
            endif()
        elseif(line MATCHES "^The Import Tables")
            set(section "imports")
        elseif(line MATCHES "^Export Address Table -- ")
            set(section "export addresses")
        elseif(line MATCHES "^\\[Ordinal/Name Pointer\\] Table")
            set(section "export names")
        elseif(line MATCHES "^[^ \t]")
            set(section "")
        elseif(section STREQUAL "export addresses")
            math(EXPR address_entries "${address_entries} + 1")
        elseif(section STREQUAL "export names" AND line MATCHES "\\][ \t]+([^ \t]+)$")
            list(APPEND exports ${CMAKE_MATCH_1})
        elseif(section STREQUAL "imports" AND line MATCHES "^\tDLL Name: (.+)$")
            set(dll_name "${CMAKE_MATCH_1}")
            string(TOLOWER "${dll_name}" dll)
            if(NOT dll MATCHES "${system_dll_pattern}" AND NOT dll IN_LIST host_dlls)
                list(APPEND failures "${name} imports from ${dll_name}")
            endif()
        elseif(section STREQUAL "imports" AND dll IN_LIST host_dlls
               AND line MATCHES "^\t[0-9a-f]+\t")
            string(REGEX REPLACE "^.*[ \t]" "" operation "${line}")
            if(NOT operation IN_LIST listed_${dll})
                list(APPEND failures "${name} imports ${operation} from ${dll}, not on its list")
            endif()
            list(APPEND used_${dll} ${operation})
        endif()
    endforeach()

    if(NOT exports STREQUAL "mexFunction" OR NOT address_entries EQUAL 1)
        list(JOIN exports ", " names)
        list(APPEND failures
             "${name} exports ${address_entries} entries, named ${names} (expected only mexFunction)")
    endif()
endforeach()

foreach(dll IN LISTS host_dlls)
    foreach(operation IN LISTS listed_${dll})
        if(NOT operation IN_LIST used_${dll})
            list(APPEND failures "${operation} is listed for ${dll} but no MEX file imports it")
        endif()
    endforeach()
endforeach()

if(failures)
    list(JOIN failures "\n  " report)
    message(FATAL_ERROR "PE table check failed:\n  ${report}")
endif()
message(STATUS "Exports only mexFunction; imports only listed operations and system DLLs: "
               "${PE_MODULES}")
