# Compiler warnings for every target of the project; S19CUT_WERROR makes them errors.
option(S19CUT_WERROR "Treat compiler warnings as errors" OFF)

function(s19cut_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${S19CUT_WERROR}>:/WX>)
    target_compile_definitions(${target} PRIVATE _CRT_SECURE_NO_WARNINGS)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wconversion -Wshadow
                           $<$<BOOL:${S19CUT_WERROR}>:-Werror>)
  endif()
endfunction()
