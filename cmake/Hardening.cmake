# Release binaries hardened as a distribution builds them: the C library's checked functions
# (_FORTIFY_SOURCE=2; level 3 made the record loop five times the instructions), a stack protector, and
# relocations made read-only at start (full RELRO, immediate binding). Each flag is used only where the
# compiler and linker take it, and a check that failed is made again at the next configure. The sanitizer and
# fuzz builds are left as they are. Windows' own settings (dynamic base, high-entropy ASLR, NX) are named by
# the toolchain file, in S19CUT_WINDOWS_HARDENING, and checked here.
include(CheckCXXCompilerFlag)
include(CheckLinkerFlag)

# Like check_* with the result cached, but a failed result is tried again rather than kept.
macro(s19cut_recheck var)
  if(DEFINED CACHE{${var}} AND NOT ${var})
    unset(${var} CACHE)
  endif()
endmacro()

# Appends <flag> to the list <out> where the compiler (COMPILE) or the linker (LINK) takes it.
function(s19cut_take_flag out kind flag)
  string(MAKE_C_IDENTIFIER "S19CUT_TAKES_${flag}" var)
  s19cut_recheck(${var})
  if(kind STREQUAL "COMPILE")
    check_cxx_compiler_flag("${flag}" ${var})
  else()
    check_linker_flag(CXX "${flag}" ${var})
  endif()
  if(${var})
    set(${out} ${${out}} "${flag}" PARENT_SCOPE)
  endif()
endfunction()

set(S19CUT_HARDENING_COMPILE "")
set(S19CUT_HARDENING_LINK "")
set(S19CUT_HARDENED OFF)
if(NOT WIN32 AND NOT CMAKE_CXX_FLAGS MATCHES "sanitize")
  set(S19CUT_HARDENED ON)
  # The checked functions need optimisation; a compiler may define the macro already.
  set(optimised $<CONFIG:Release,RelWithDebInfo,MinSizeRel>)
  list(APPEND S19CUT_HARDENING_COMPILE $<${optimised}:-U_FORTIFY_SOURCE> $<${optimised}:-D_FORTIFY_SOURCE=2>)
  s19cut_take_flag(S19CUT_HARDENING_COMPILE COMPILE -fstack-protector-strong)
  s19cut_take_flag(S19CUT_HARDENING_LINK LINK "LINKER:-z,relro,-z,now")
else()
  foreach(flag IN LISTS S19CUT_WINDOWS_HARDENING)
    s19cut_take_flag(S19CUT_HARDENING_LINK LINK "${flag}")
  endforeach()
endif()

# Hardens a target of the tool's own code. A program also loses its .comment section, the compiler's name
# and version, which Debian's tools strip from what they pack.
function(s19cut_harden target)
  target_compile_options(${target} PRIVATE ${S19CUT_HARDENING_COMPILE})
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    target_link_options(${target} PRIVATE ${S19CUT_HARDENING_LINK})
    if(S19CUT_HARDENED AND CMAKE_OBJCOPY)
      add_custom_command(TARGET ${target} POST_BUILD
                         COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment $<TARGET_FILE:${target}> VERBATIM)
    endif()
  endif()
endfunction()
