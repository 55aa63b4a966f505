# Cross build of s19cut for 64-bit ARM Linux (Debian's arm64), run under qemu-user.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(S19CUT_TRIPLET aarch64-linux-gnu)
set(S19CUT_QEMU qemu-aarch64-static)
# Debian's name for the architecture, which its packages carry.
set(S19CUT_DEBIAN_ARCHITECTURE arm64)
include(${CMAKE_CURRENT_LIST_DIR}/LinuxCross.cmake)
