# Cross build for 64-bit ARM Linux (Debian: g++-aarch64-linux-gnu); the test programs
# run under user-mode emulation (Debian: qemu-user) with the target's libraries.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(ZORVAN_ARM_TRIPLE aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${ZORVAN_ARM_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${ZORVAN_ARM_TRIPLE}-g++)
find_program(ZORVAN_QEMU qemu-aarch64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${ZORVAN_QEMU} -L /usr/${ZORVAN_ARM_TRIPLE})

set(CMAKE_FIND_ROOT_PATH /usr/${ZORVAN_ARM_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
