# Cross build of s19cut for 32-bit ARMv7 Linux with hardware floating point (Debian's armhf), run under
# qemu-user. The processor is named as uname -m names it on such a machine.
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(S19CUT_TRIPLET arm-linux-gnueabihf)
set(S19CUT_QEMU qemu-arm-static)
# Debian's name for the architecture, which its packages carry.
set(S19CUT_DEBIAN_ARCHITECTURE armhf)
include(${CMAKE_CURRENT_LIST_DIR}/LinuxCross.cmake)
