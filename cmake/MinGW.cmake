# The rest of a cross build of s19cut.exe with Debian's mingw-w64 compiler for S19CUT_TRIPLET, run under wine's
# loader S19CUT_WINE_LOADER: included by mingw-w64.cmake and mingw-w64-i686.cmake.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_CXX_COMPILER ${S19CUT_TRIPLET}-g++)
set(CMAKE_RC_COMPILER ${S19CUT_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${S19CUT_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static runtime: the .exe must run with no MinGW DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# Debian's wine command starts every program through the 32-bit loader once wine32 is installed: each build
# runs its .exe through the loader of its own width, which the tests also hand to wine as WINELOADER.
find_program(WINE_PROGRAM ${S19CUT_WINE_LOADER} PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(WINE_PROGRAM NAMES ${S19CUT_WINE_LOADER} wine)
if(WINE_PROGRAM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_PROGRAM})
endif()
