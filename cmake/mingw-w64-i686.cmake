# Cross build of s19cut.exe for 32-bit Windows with Debian's mingw-w64 compiler, run under wine32's loader in a
# 32-bit wine prefix, as on a 32-bit Windows. The processor is named as Windows users know it.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(S19CUT_TRIPLET i686-w64-mingw32)
set(S19CUT_WINE_LOADER wine)
set(S19CUT_WINE_ARCH win32)
# Address randomisation and no code run from data; a 32-bit Windows has no high-entropy addresses.
set(S19CUT_WINDOWS_HARDENING "LINKER:--dynamicbase" "LINKER:--nxcompat")
include(${CMAKE_CURRENT_LIST_DIR}/MinGW.cmake)
