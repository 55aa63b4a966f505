# Builds and tests every configuration in turn: cmake -P cmake/CheckAll.cmake
# Its last lines name the workflows that passed whole, and each test that was skipped, and why.
# It first makes sure the tools are there: on Debian or Ubuntu it installs the missing packages,
# as root or through sudo; elsewhere it stops before building and says what to install.
# Each workflow stands alone; the Windows and ARM ones build the native end-to-end tests they run.
set(source_dir ${CMAKE_CURRENT_LIST_DIR}/..)
set(presets default windows windows-x86 sanitize fuzz linux-arm64 linux-armhf)
# cmake -DPRESETS="windows-x86;fuzz" -P cmake/CheckAll.cmake runs those alone.
if(DEFINED PRESETS)
  set(presets ${PRESETS})
endif()

# Every package the suite needs, each with a program, or a file pattern, that shows it is installed; a package
# of another architecture is named with it, and dpkg says whether that one is installed. Where a package of
# this machine's architecture is meant, none of another may take its place: wine64 recommends wine32, which
# Debian builds for i386 and ARM alike, so wine32:i386 is named, and nothing else is installed for a
# recommendation of a package named here.
set(needs
  cmake                cmake
  make                 make
  g++                  g++
  libgtest-dev         /usr/include/gtest/gtest.h
  g++-mingw-w64-x86-64 x86_64-w64-mingw32-g++
  g++-mingw-w64-i686   i686-w64-mingw32-g++
  wine                 wine
  wine64               /usr/lib/wine/wine64
  wine32:i386          dpkg
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
  util-linux           setpriv
  bindfs               bindfs
  python3-fusepy       /usr/lib/python3/dist-packages/fusepy.py
  g++-aarch64-linux-gnu   aarch64-linux-gnu-g++
  g++-arm-linux-gnueabihf arm-linux-gnueabihf-g++
  qemu-user-static        qemu-aarch64-static
  # The ARM packages' dependencies are computed from those architectures' C libraries (Debian's multiarch).
  libc6:arm64             dpkg
  libc6:armhf             dpkg)

set(status "\${Status}")
function(find_missing out)
  set(missing)
  list(LENGTH needs count)
  math(EXPR last "${count} - 1")
  foreach(i RANGE 0 ${last} 2)
    math(EXPR j "${i} + 1")
    list(GET needs ${i} package)
    list(GET needs ${j} probe)
    unset(found)
    if(probe STREQUAL "dpkg")
      execute_process(COMMAND dpkg-query -W -f=${status} ${package} OUTPUT_VARIABLE state ERROR_QUIET)
      if(state STREQUAL "install ok installed")
        set(found ON)
      endif()
    elseif(probe MATCHES "/")
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
  set(how "  apt-get install --no-install-recommends ${names}\n")
  foreach(package IN LISTS missing)
    if(package MATCHES ":(.+)$")
      string(PREPEND how "  dpkg --add-architecture ${CMAKE_MATCH_1}\n")
    endif()
  endforeach()
  if(how MATCHES "dpkg")
    string(REPLACE "  apt-get install" "  apt-get update\n  apt-get install" how "${how}")
  endif()
  find_program(apt_get apt-get NO_CACHE)
  find_program(sudo sudo NO_CACHE)
  execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(apt_get AND uid STREQUAL "0")
    set(as_root)
  elseif(apt_get AND sudo)
    set(as_root ${sudo})
  else()
    message(FATAL_ERROR "the test suite needs packages that are missing; install them as root with:\n"
                        "${how}")
  endif()
  message(STATUS "installing: ${names}")
  set(rc 0)
  foreach(package IN LISTS missing)
    if(rc EQUAL 0 AND package MATCHES ":(.+)$")
      execute_process(COMMAND ${as_root} dpkg --add-architecture ${CMAKE_MATCH_1} RESULT_VARIABLE rc)
    endif()
  endforeach()
  if(rc EQUAL 0)
    execute_process(COMMAND ${as_root} ${apt_get} update RESULT_VARIABLE rc)
  endif()
  if(rc EQUAL 0)
    execute_process(COMMAND ${as_root} env DEBIAN_FRONTEND=noninteractive ${apt_get} install -y
                            --no-install-recommends ${missing}
                    RESULT_VARIABLE rc)
  endif()
  find_missing(still_missing)
  if(NOT rc EQUAL 0 OR still_missing)
    message(FATAL_ERROR "installing the missing packages failed; install them as root with:\n"
                        "${how}")
  endif()
endif()

# Each workflow's tests leave build/<preset>/junit.xml: the tests that did not run, and the line that says why.
set(whole)
set(skips)
foreach(preset IN LISTS presets)
  message(STATUS "==== ${preset}")
  set(junit ${source_dir}/build/${preset}/junit.xml)
  file(REMOVE ${junit})
  execute_process(COMMAND ${CMAKE_COMMAND} --workflow --preset ${preset}
                  WORKING_DIRECTORY ${source_dir} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the ${preset} workflow failed")
  endif()
  set(skipped)
  if(EXISTS ${junit})
    # One item a test case; what a test printed may hold semicolons and brackets, which lists can't.
    file(READ ${junit} report)
    string(REGEX REPLACE "[][;]" "_" report "${report}")
    string(REPLACE "</testcase>" ";" cases "${report}")
    foreach(case IN LISTS cases)
      if(case MATCHES "<testcase name=\"([^\"]*)\"[^>]*status=\"notrun\"")
        set(name ${CMAKE_MATCH_1})
        set(why "no reason printed")
        if(case MATCHES "<system-out>(skipped: )?([^\n<]+)")
          set(why "${CMAKE_MATCH_2}")
        endif()
        list(APPEND skipped "${name}")
        string(APPEND skips "  ${preset}: ${name} skipped: ${why}\n")
      endif()
    endforeach()
  endif()
  if(NOT skipped)
    list(APPEND whole ${preset})
  endif()
endforeach()
list(JOIN whole " " whole)
if(whole STREQUAL "")
  set(whole none)
endif()
if(skips)
  message(STATUS "these workflows passed whole: ${whole}\nthe rest passed with tests skipped:\n${skips}")
else()
  message(STATUS "all workflows passed whole: ${whole}")
endif()
