# Cross build for 64-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-x86-64-posix).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZORVAN_MINGW_TRIPLE x86_64-w64-mingw32)
# The posix thread model: GCC 12's win32 model lacks std::mutex, which GoogleTest
# needs. The MEX files link the runtime statically, winpthreads included.
set(CMAKE_C_COMPILER ${ZORVAN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZORVAN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZORVAN_MINGW_TRIPLE}-windres)
# dlltool makes the import libraries of the host's DLLs; objdump reads PE tables in tests.
find_program(CMAKE_DLLTOOL ${ZORVAN_MINGW_TRIPLE}-dlltool REQUIRED)
find_program(CMAKE_OBJDUMP ${ZORVAN_MINGW_TRIPLE}-objdump REQUIRED)

# Libraries and headers come from the target's tree, programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${ZORVAN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
