# Cross build of s19cut.exe for 64-bit Windows with Debian's mingw-w64 compiler, run under wine64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(S19CUT_TRIPLET x86_64-w64-mingw32)
set(S19CUT_WINE_LOADER wine64)
set(S19CUT_WINE_ARCH win64)
# Address randomisation with a high-entropy base, and no code run from data: binutils' defaults for a 64-bit
# .exe, named here so that the build checks them and a change of defaults can't drop them.
set(S19CUT_WINDOWS_HARDENING "LINKER:--dynamicbase" "LINKER:--high-entropy-va" "LINKER:--nxcompat")
include(${CMAKE_CURRENT_LIST_DIR}/MinGW.cmake)
