# Packs twice, a second apart, in two time zones and at the umasks 022 and 077, with SOURCE_DATE_EPOCH unset
# and then empty, and fails unless both give the same bytes; checks that cpack fails and leaves nothing with a
# SOURCE_DATE_EPOCH that is malformed or that a package can't hold, and where the .tar.gz fails after the .deb
# was made; then checks each package: its checksum file, its files, lintian for the .deb, and a conversion of
# the sample image with the unpacked tool.
#   cmake -DCPACK=… -DCONFIG=…/CPackConfig.cmake -DGENERATORS=DEB;TGZ -DSTATIC=ON -DSAMPLE=… -DDIR=…
#     [-DRUNNER=qemu-aarch64-static] -P CheckPackages.cmake
file(REMOVE_RECURSE ${DIR})
set(contact "Package Check <check@example.org>")
set(bad 12h)
if(GENERATORS MATCHES "ZIP")
  list(APPEND bad 99999999999)
else()
  list(APPEND bad 99999999999999999999 9999999999999)
endif()
if(GENERATORS MATCHES "DEB;TGZ")
  # A gzip that fails where it compresses standard input, as the .tar.gz's packing has it do.
  find_program(GZIP gzip REQUIRED)
  file(WRITE ${DIR}/fake/gzip "#!/bin/sh\nfor a; do last=$a; done\ncase \"$last\" in -*) exit 1 ;; esac\n"
                              "exec '${GZIP}' \"$@\"\n")
  file(CHMOD ${DIR}/fake/gzip PERMISSIONS OWNER_READ OWNER_EXECUTE)
  list(APPEND bad gzip)
endif()
foreach(pass a b ${bad})
  set(umask 022)
  if(pass STREQUAL "a")
    set(env TZ=UTC0 --unset=SOURCE_DATE_EPOCH)
  elseif(pass STREQUAL "b")
    execute_process(COMMAND ${CMAKE_COMMAND} -E sleep 1)
    set(env TZ=JST-9 SOURCE_DATE_EPOCH=)
    set(umask 077)
  elseif(pass STREQUAL "gzip")
    set(env "PATH=${DIR}/fake:$ENV{PATH}")
  else()
    set(env SOURCE_DATE_EPOCH=${pass})
  endif()
  execute_process(COMMAND sh -c "umask $0 && exec \"$@\"" ${umask}
                          ${CMAKE_COMMAND} -E env ${env} ${CPACK} --config ${CONFIG} -G "${GENERATORS}"
                          -B ${DIR}/${pass} -D "CPACK_PACKAGE_CONTACT=${contact}"
                  OUTPUT_VARIABLE log ERROR_VARIABLE log RESULT_VARIABLE failed)
  if(pass STREQUAL "a" OR pass STREQUAL "b")
    if(failed)
      message(FATAL_ERROR "cpack failed:\n${log}")
    endif()
  else()
    file(GLOB left ${DIR}/${pass}/*.*)
    if(NOT failed OR left OR NOT (pass STREQUAL "gzip" OR log MATCHES "SOURCE_DATE_EPOCH is \"${pass}\""))
      message(FATAL_ERROR "cpack with ${env} gave status ${failed} and left ${left}:\n${log}")
    endif()
  endif()
endforeach()

file(GLOB packages RELATIVE ${DIR}/a ${DIR}/a/*.tar.gz ${DIR}/a/*.deb ${DIR}/a/*.zip)
list(LENGTH GENERATORS expected)
list(LENGTH packages count)
if(NOT count EQUAL expected)
  message(FATAL_ERROR "cpack made ${packages}, not one package for each of ${GENERATORS}")
endif()
foreach(package IN LISTS packages)
  file(SHA256 ${DIR}/a/${package} first)
  file(SHA256 ${DIR}/b/${package} second)
  if(NOT first STREQUAL second)
    message(FATAL_ERROR "${package} differs from one packing to the next")
  endif()
  execute_process(COMMAND sha256sum -c ${package}.sha256 WORKING_DIRECTORY ${DIR}/a
                  OUTPUT_VARIABLE log ERROR_VARIABLE log RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${package}.sha256 doesn't check:\n${log}")
  endif()
  message(STATUS "${package}: the same bytes twice, sha256 ${first}")
endforeach()

# The unpacked tool at TOOL converts the sample image as the README shows.
function(check_conversion tool)
  file(COPY ${SAMPLE} DESTINATION ${DIR}/run)
  get_filename_component(name ${SAMPLE} NAME)
  execute_process(COMMAND ${RUNNER} ${tool} -f${name} -s100 WORKING_DIRECTORY ${DIR}/run
                  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
  string(CONCAT expected "  -> input file  = ${name}\n"
                         "  -> output file = ${name}.A0.S19   SAVE 2300 A2FF 00000100\n"
                         "  -> output file = ${name}.A1.S19   SAVE 2300 3F3F 00000140\n")
  if(NOT rc EQUAL 0 OR NOT out STREQUAL expected OR NOT err STREQUAL "")
    message(FATAL_ERROR "${tool} gave status ${rc} with\n${out}${err}")
  endif()
  file(REMOVE_RECURSE ${DIR}/run)
endfunction()

# Fails unless the folder ROOT holds exactly the files FILES.
function(check_files root)
  file(GLOB_RECURSE found LIST_DIRECTORIES false RELATIVE ${root} ${root}/*)
  set(wanted ${ARGN})
  list(SORT wanted)
  if(NOT found STREQUAL wanted)
    message(FATAL_ERROR "${root} holds\n  ${found}\nnot\n  ${wanted}")
  endif()
endfunction()

# Fails unless every link of the README at PATH leads to a file beside it, or off the package (an address).
function(check_links readme)
  file(READ ${readme} text)
  get_filename_component(folder ${readme} DIRECTORY)
  # Brackets would keep CMake's lists from splitting: the links are marked without them.
  string(REPLACE "](" "<link>" text "${text}")
  string(REGEX MATCHALL "<link>[^)#]*" targets "${text}")
  foreach(target IN LISTS targets)
    string(SUBSTRING "${target}" 6 -1 target)
    if(NOT target MATCHES "^[a-z]+:" AND NOT EXISTS ${folder}/${target})
      message(FATAL_ERROR "${readme} links to ${target}, which the package lacks")
    endif()
  endforeach()
endfunction()

foreach(package IN LISTS packages)
  set(root ${DIR}/${package}.d)
  if(package MATCHES "\\.deb$")
    execute_process(COMMAND dpkg-deb -f ${DIR}/a/${package} Depends Maintainer OUTPUT_VARIABLE fields)
    # The tool needs the C library alone: no C++ library to install beside it.
    if(NOT fields MATCHES "Depends: libc6 \\([^)]*\\)\n" OR NOT fields MATCHES "Maintainer: ${contact}")
      message(FATAL_ERROR "${package} lacks its computed dependency on the C library alone or its maintainer:\n"
                          "${fields}")
    endif()
    # Hardened as Debian builds its packages: lintian's hints would name what is missing.
    execute_process(COMMAND lintian -I --pedantic --fail-on error,warning ${DIR}/a/${package}
                    OUTPUT_VARIABLE log ERROR_VARIABLE err RESULT_VARIABLE failed)
    if(failed OR log MATCHES "hardening-|binary-has-unneeded-section")
      message(FATAL_ERROR "lintian rejects ${package}:\n${log}${err}")
    endif()
    execute_process(COMMAND dpkg-deb -x ${DIR}/a/${package} ${root})
    # A 32-bit tool takes the C library's 64-bit stat and open, which work on every file system: stat64, or
    # __stat64_time64 where the C library has 64-bit times too (Debian 13's armhf).
    execute_process(COMMAND readelf -h -W --dyn-syms ${root}/usr/bin/s19cut OUTPUT_VARIABLE symbols)
    if(symbols MATCHES "Class: +ELF32" AND
       (NOT symbols MATCHES " (__)?stat64(_time64)?@" OR symbols MATCHES " (l|f)?stat@| fstatat@| open@| fopen@"))
      message(FATAL_ERROR "${package}'s tool is built without large-file support:\n${symbols}")
    endif()
    check_files(${root} usr/bin/s19cut usr/share/man/man1/s19cut.1.gz usr/share/doc/s19cut/README.md
                usr/share/doc/s19cut/copyright usr/share/doc/s19cut/changelog.gz)
    check_links(${root}/usr/share/doc/s19cut/README.md)
    check_conversion(${root}/usr/bin/s19cut)
  elseif(package MATCHES "\\.tar\\.gz$")
    file(ARCHIVE_EXTRACT INPUT ${DIR}/a/${package} DESTINATION ${root})
    string(REGEX REPLACE "\\.tar\\.gz$" "" top ${package})
    check_files(${root} ${top}/bin/s19cut ${top}/share/man/man1/s19cut.1.gz ${top}/share/doc/s19cut/README.md
                ${top}/share/doc/s19cut/LICENSE ${top}/share/doc/s19cut/CHANGELOG.md)
    execute_process(COMMAND tar --numeric-owner -tvzf ${DIR}/a/${package} OUTPUT_VARIABLE listing)
    if(listing MATCHES " [0-9]*[1-9][0-9]*/| [0-9]+/[0-9]*[1-9]")
      message(FATAL_ERROR "${package} has entries that root doesn't own:\n${listing}")
    endif()
    # Linked statically where it could be: no program interpreter, no shared library. Hardened like the .deb's:
    # relocations read-only from the start, and no .comment section.
    execute_process(COMMAND readelf -S -l -d ${root}/${top}/bin/s19cut OUTPUT_VARIABLE headers)
    if(STATIC AND headers MATCHES "INTERP|NEEDED")
      message(FATAL_ERROR "${package}'s tool needs a program interpreter or a shared library:\n${headers}")
    endif()
    # A tool linked -static, not -static-pie, has no dynamic section and so nothing to bind.
    if(NOT headers MATCHES "GNU_RELRO" OR (headers MATCHES "Dynamic section" AND NOT headers MATCHES "BIND_NOW") OR
       headers MATCHES "\\.comment")
      message(FATAL_ERROR "${package}'s tool lacks full RELRO or has a .comment section:\n${headers}")
    endif()
    check_links(${root}/${top}/share/doc/s19cut/README.md)
    check_conversion(${root}/${top}/bin/s19cut)
  else()
    file(ARCHIVE_EXTRACT INPUT ${DIR}/a/${package} DESTINATION ${root})
    check_files(${root} s19cut.exe README.md s19cut.html LICENSE CHANGELOG.md)
    check_links(${root}/README.md)
    file(READ ${root}/s19cut.html html)
    if(NOT html MATCHES "<title>S19CUT\\(1\\)</title>.*DIAGNOSTICS")
      message(FATAL_ERROR "${package}'s s19cut.html is not the whole manual page")
    endif()
  endif()
  message(STATUS "${package}: its files are as listed")
endforeach()
