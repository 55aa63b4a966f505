# What is installed, and the packages made of it: a .tar.gz and a Debian package on Linux, a .zip on
# Windows. Each package takes only the components it needs:
#   tool     the dynamically linked tool (s19cut.exe on Windows): the .deb, the .zip, cmake --install, and
#            the .tar.gz where the static tool isn't built
#   static   the statically linked tool, installed as bin/s19cut: the .tar.gz, where it is built
#   docs     the manual page: every package, as HTML in the .zip (with the README there)
#   licence  LICENSE, CHANGELOG.md and, on Linux, the README: the archives and cmake --install
#   debian   the README, the copyright file and changelog.gz that Debian's policy asks for: the .deb alone
# Each package's README links only to files that the package holds.
# Every package comes out byte for byte the same from every clean build of a commit.

include(cmake/ReleaseDates.cmake)

set(S19CUT_PACKAGE_CONTACT "The s19cut developers" CACHE STRING
    "Maintainer of the packages, as \"Name <address>\"; Debian's tools want the address")

# Folders get the same permissions whatever the umask of the one who builds.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The README of a package whose files beside it are <files>: a link to a file that the package lacks becomes
# the link's text alone, so that no link leads nowhere.
function(s19cut_package_readme output)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/README.md)
  file(READ ${PROJECT_SOURCE_DIR}/README.md text)
  if("copyright" IN_LIST ARGN)
    string(REPLACE "[LICENSE](LICENSE)" "[copyright](copyright)" text "${text}")
  endif()
  # Brackets would keep CMake's lists from splitting: a link is marked as <open>text<link>target) here.
  string(REPLACE "[" "<open>" text "${text}")
  string(REPLACE "](" "<link>" text "${text}")
  string(REGEX MATCHALL "<open>[^\n()<>]*<link>[^)\n]*\\)" links "${text}")
  list(REMOVE_DUPLICATES links)
  foreach(link IN LISTS links)
    string(REGEX MATCH "^<open>(.*)<link>([^)#]*)" _ "${link}")
    set(label "${CMAKE_MATCH_1}")
    set(target "${CMAKE_MATCH_2}")
    if(NOT target IN_LIST ARGN AND NOT target MATCHES "^[a-z]+:")
      string(REPLACE "${link}" "${label}" text "${text}")
    endif()
  endforeach()
  string(REPLACE "<link>" "](" text "${text}")
  string(REPLACE "<open>" "[" text "${text}")
  if("s19cut.html" IN_LIST ARGN)
    string(REPLACE "`s19cut.html` in the Windows `.zip`" "[`s19cut.html`](s19cut.html), beside this file" text "${text}")
  endif()
  set(at @)
  string(REPLACE "@" "@at@" text "${text}")
  file(CONFIGURE OUTPUT ${output} CONTENT "${text}" @ONLY)
endfunction()

if(WIN32)
  # Windows users get a flat folder, and no man: the manual page comes as HTML, which any browser opens. Its
  # footer names the release, not the system of the machine that built it.
  find_program(MANDOC mandoc)
  if(NOT MANDOC)
    message(FATAL_ERROR "mandoc, which makes the .zip's HTML manual, was not found (apt-get install mandoc)")
  endif()
  set(html ${PROJECT_BINARY_DIR}/s19cut.html)
  add_custom_command(OUTPUT ${html}
    COMMAND ${CMAKE_COMMAND} -DMANDOC=${MANDOC} -DPAGE=${PROJECT_SOURCE_DIR}/man/s19cut.1 -DHTML=${html}
            "-DOS=${PROJECT_NAME} ${PROJECT_VERSION}" -P ${PROJECT_SOURCE_DIR}/cmake/ManualHtml.cmake
    DEPENDS man/s19cut.1 cmake/ManualHtml.cmake VERBATIM)
  add_custom_target(manual_html ALL DEPENDS ${html})
  s19cut_package_readme(${PROJECT_BINARY_DIR}/package/README.md s19cut.html LICENSE CHANGELOG.md)
  install(TARGETS s19cut RUNTIME DESTINATION . COMPONENT tool)
  install(FILES ${PROJECT_BINARY_DIR}/package/README.md ${html} DESTINATION . COMPONENT docs)
  install(FILES LICENSE CHANGELOG.md DESTINATION . COMPONENT licence)
else()
  install(TARGETS s19cut RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)
  if(S19CUT_STATIC_TOOL)
    install(TARGETS s19cut_static RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT static EXCLUDE_FROM_ALL)
  endif()

  # gzip -n: no name or time in the header, so the same bytes every time.
  set(man ${PROJECT_BINARY_DIR}/man/s19cut.1)
  add_custom_command(OUTPUT ${man}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/man/s19cut.1 ${man}
    COMMAND gzip -n -9 -f ${man}
    DEPENDS man/s19cut.1 VERBATIM)
  add_custom_target(manual_page ALL DEPENDS ${man}.gz)

  # Debian's machine-readable copyright file, made from LICENSE: the MIT licence is "Expat" there.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS LICENSE)
  file(READ LICENSE licence)
  string(REGEX MATCH "\nCopyright \\(c\\) ([^\n]+)\n\n(.*[^\n])" found "${licence}")
  if(NOT found)
    message(FATAL_ERROR "LICENSE: no \"Copyright (c) …\" line followed by the licence's terms")
  endif()
  set(holder ${CMAKE_MATCH_1})
  string(REGEX REPLACE "\n\n" "\n.\n" terms "${CMAKE_MATCH_2}")
  string(REPLACE "\n" "\n " terms " ${terms}")
  file(CONFIGURE OUTPUT debian/copyright @ONLY CONTENT
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: ${PROJECT_NAME}

Files: *
Copyright: ${holder}
License: Expat
${terms}
")

  # The .tar.gz has LICENSE beside its README, the .deb has copyright: each README links to its own.
  s19cut_package_readme(${PROJECT_BINARY_DIR}/package/README.md LICENSE CHANGELOG.md)
  s19cut_package_readme(${PROJECT_BINARY_DIR}/debian/README.md copyright)
  install(FILES ${PROJECT_BINARY_DIR}/package/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT licence)
  install(FILES ${man}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT docs)
  install(FILES LICENSE CHANGELOG.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT licence)
  # changelog.gz, the Debian changelog made from CHANGELOG.md, is written by cpack: it names the maintainer.
  install(FILES ${PROJECT_BINARY_DIR}/debian/README.md ${PROJECT_BINARY_DIR}/debian/copyright
                ${PROJECT_BINARY_DIR}/debian/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT debian EXCLUDE_FROM_ALL)
endif()

if(WIN32)
  set(S19CUT_PACKAGES ZIP)
else()
  # A Debian package beside the .tar.gz, where dpkg can build one and compute its dependencies. It is packed
  # first: cpack stops at the first package that fails, and most can fail in the .deb.
  set(S19CUT_PACKAGES TGZ)
  find_program(DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(DPKG_SHLIBDEPS)
    list(PREPEND S19CUT_PACKAGES DEB)
  endif()
endif()

# The one time of every archive entry: SOURCE_DATE_EPOCH when it is set (empty counts as unset), else the time
# of the last commit, which cpack reads again so that a commit made since configuring is packed with its own,
# else the date of the newest release in CHANGELOG.md. The last is never taken in silence.
set(S19CUT_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
set(S19CUT_EPOCH_SOURCE SOURCE_DATE_EPOCH)
set(S19CUT_EPOCH_FROM_GIT OFF)
if(S19CUT_EPOCH STREQUAL "" AND EXISTS ${PROJECT_SOURCE_DIR}/.git)
  s19cut_commit_time(S19CUT_EPOCH why ${PROJECT_SOURCE_DIR})
  set(S19CUT_EPOCH_SOURCE "the last commit's time")
  if(S19CUT_EPOCH)
    set(S19CUT_EPOCH_FROM_GIT ON)
  else()
    message(WARNING "The packages can't take the last commit's time: ${why}\n"
                    "They take the date of the newest release in CHANGELOG.md instead, so their bytes differ from the "
                    "release's. For those, set SOURCE_DATE_EPOCH to the commit's time (git log -1 --format=%ct, run "
                    "by the folder's owner), or mark the folder safe if you trust it: "
                    "git config --global --add safe.directory ${PROJECT_SOURCE_DIR}")
  endif()
elseif(S19CUT_EPOCH STREQUAL "")
  message(STATUS "No .git here: the packages take the date of the newest release in CHANGELOG.md as their time; "
                 "a release built from a git work tree carries its commit's time")
endif()
if(S19CUT_EPOCH STREQUAL "")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS CHANGELOG.md)
  file(STRINGS CHANGELOG.md release REGEX "^## \\[[0-9.]+\\] - [0-9-]+$" LIMIT_COUNT 1)
  string(REGEX REPLACE ".* - " "" date "${release}")
  s19cut_days(days "${date}")
  math(EXPR S19CUT_EPOCH "${days} * 86400")
  set(S19CUT_EPOCH_SOURCE "the date of the newest release in CHANGELOG.md")
endif()
s19cut_check_epoch("${S19CUT_EPOCH}" "${S19CUT_EPOCH_SOURCE}" "${S19CUT_PACKAGES}")

set(CPACK_GENERATOR ${S19CUT_PACKAGES})
set(CPACK_PACKAGE_CONTACT ${S19CUT_PACKAGE_CONTACT})
# Debian's control file takes lines of at most 80 characters.
set(CPACK_PACKAGE_DESCRIPTION "s19cut prepares a binary image for transfer to an older target machine: it
cuts the image into blocks of 32768 bytes, writes each as a file of Motorola
S-records (S19) addressed from 0x2300, and prints for each block the SAVE text
that stores it on the target.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# A cross build names its architecture; its dependencies are computed from that architecture's C library
# (libc6:arm64 installed beside the native one, as Debian's multiarch has it).
if(S19CUT_DEBIAN_ARCHITECTURE)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${S19CUT_DEBIAN_ARCHITECTURE})
endif()
set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_S19CUT_EPOCH ${S19CUT_EPOCH})
set(CPACK_S19CUT_EPOCH_FROM_GIT ${S19CUT_EPOCH_FROM_GIT})
set(CPACK_S19CUT_PACKAGES ${S19CUT_PACKAGES})
set(CPACK_S19CUT_STATIC ${S19CUT_STATIC_TOOL})
set(CPACK_S19CUT_BINARY_DIR ${PROJECT_BINARY_DIR})
set(CPACK_S19CUT_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/CPackProject.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/CPackRepack.cmake)
include(CPack)
