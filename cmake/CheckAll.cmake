# Builds and tests every configuration in turn: cmake -P cmake/CheckAll.cmake
# It first makes sure the tools are there: on Debian or Ubuntu it installs the missing packages,
# as root or through sudo; elsewhere it stops before building and says what to install.
# The Windows build is tested with the native build's end-to-end tests, so the native one comes first.
set(source_dir ${CMAKE_CURRENT_LIST_DIR}/..)
set(presets default windows sanitize fuzz)

# Every package the suite needs, each with a program, or a file pattern, that shows it is installed.
set(needs
  cmake                cmake
  make                 make
  g++                  g++
  libgtest-dev         /usr/include/gtest/gtest.h
  g++-mingw-w64-x86-64 x86_64-w64-mingw32-g++
  wine                 wine
  wine64               /usr/lib/wine/wine64
  clang                clang++
  libclang-rt-dev      /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a
  valgrind             valgrind
  binutils             objcopy
  time                 /usr/bin/time
  srecord              srec_cat
  mandoc               mandoc
  dpkg-dev             dpkg-shlibdeps
  lintian              lintian
  zip                  zip
  strace               strace
  perl                 perl
  util-linux           setpriv)

function(find_missing out)
  set(missing)
  list(LENGTH needs count)
  math(EXPR last "${count} - 1")
  foreach(i RANGE 0 ${last} 2)
    math(EXPR j "${i} + 1")
    list(GET needs ${i} package)
    list(GET needs ${j} probe)
    unset(found)
    if(probe MATCHES "/")
      file(GLOB found ${probe})
    else()
      find_program(found ${probe} NO_CACHE)
    endif()
    if(NOT found)
      list(APPEND missing ${package})
    endif()
  endforeach()
  set(${out} ${missing} PARENT_SCOPE)
endfunction()

find_missing(missing)
if(missing)
  list(JOIN missing " " names)
  find_program(apt_get apt-get NO_CACHE)
  find_program(sudo sudo NO_CACHE)
  execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(apt_get AND uid STREQUAL "0")
    set(as_root)
  elseif(apt_get AND sudo)
    set(as_root ${sudo})
  else()
    message(FATAL_ERROR "the test suite needs packages that are missing; install them as root with:\n"
                        "  apt-get install ${names}\n")
  endif()
  message(STATUS "installing: ${names}")
  execute_process(COMMAND ${as_root} ${apt_get} update RESULT_VARIABLE rc)
  if(rc EQUAL 0)
    execute_process(COMMAND ${as_root} env DEBIAN_FRONTEND=noninteractive ${apt_get} install -y ${missing}
                    RESULT_VARIABLE rc)
  endif()
  find_missing(still_missing)
  if(NOT rc EQUAL 0 OR still_missing)
    message(FATAL_ERROR "installing the missing packages failed; install them as root with:\n"
                        "  apt-get install ${names}\n")
  endif()
endif()

foreach(preset IN LISTS presets)
  message(STATUS "==== ${preset}")
  execute_process(COMMAND ${CMAKE_COMMAND} --workflow --preset ${preset}
                  WORKING_DIRECTORY ${source_dir} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the ${preset} workflow failed")
  endif()
endforeach()
message(STATUS "all workflows passed: ${presets}")
