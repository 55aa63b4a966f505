# The rest of a cross build for Linux on another processor, with Debian's cross compiler for S19CUT_TRIPLET,
# run under qemu-user's S19CUT_QEMU: included by linux-arm64.cmake and linux-armhf.cmake.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_CXX_COMPILER ${S19CUT_TRIPLET}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${S19CUT_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
find_program(QEMU_PROGRAM ${S19CUT_QEMU})
if(QEMU_PROGRAM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QEMU_PROGRAM})
endif()
