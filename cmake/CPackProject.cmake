# Read by cpack once per package: the one time its entries carry, and which components it holds.

# cpack gives every entry this time, and leaves the time out of gzip headers, when it is set. An empty value
# counts as unset: then the last commit's time, read now, or else configure's. A value that isn't a count of
# seconds, or that one of the build's packages can't hold, stops cpack before it packs anything.
include(${CPACK_S19CUT_SOURCE_DIR}/cmake/ReleaseDates.cmake)
if("$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  set(epoch ${CPACK_S19CUT_EPOCH})
  set(source "the time that configure chose")
  if(CPACK_S19CUT_EPOCH_FROM_GIT)
    s19cut_commit_time(commit why ${CPACK_S19CUT_SOURCE_DIR})
    if(commit)
      set(epoch ${commit})
      set(source "the last commit's time")
    endif()
  endif()
  s19cut_check_epoch("${epoch}" "${source}" "${CPACK_S19CUT_PACKAGES}")
  set(ENV{SOURCE_DATE_EPOCH} ${epoch})
else()
  s19cut_check_epoch("$ENV{SOURCE_DATE_EPOCH}" SOURCE_DATE_EPOCH "${CPACK_S19CUT_PACKAGES}")
endif()

if(CPACK_GENERATOR STREQUAL "DEB")
  set(components tool docs debian)
  # dpkg-shlibdeps looks for the libraries of the architecture it is told, by default the machine's own.
  if(CPACK_DEBIAN_PACKAGE_ARCHITECTURE)
    set(ENV{DEB_HOST_ARCH} ${CPACK_DEBIAN_PACKAGE_ARCHITECTURE})
  endif()
  # Debian's changelog, made from CHANGELOG.md, names the maintainer: it is written with this cpack run's.
  if(NOT CPACK_DEBIAN_PACKAGE_MAINTAINER)
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
  endif()
  set(changelog ${CPACK_S19CUT_BINARY_DIR}/debian/changelog)
  s19cut_debian_changelog(${CPACK_S19CUT_SOURCE_DIR}/CHANGELOG.md ${CPACK_PACKAGE_NAME}
                          "${CPACK_DEBIAN_PACKAGE_MAINTAINER}" ${changelog})
  execute_process(COMMAND gzip -n -9 -f ${changelog} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip ${changelog} failed")
  endif()
elseif(CPACK_GENERATOR STREQUAL "ZIP")
  set(components tool docs licence)
  # Windows' "Extract All" makes a folder of its own.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
elseif(CPACK_S19CUT_STATIC)
  set(components static docs licence)
else()
  set(components tool docs licence)
endif()

# One package of the chosen components, staged in one tree.
set(CPACK_INSTALL_CMAKE_PROJECTS)
foreach(component IN LISTS components)
  list(APPEND CPACK_INSTALL_CMAKE_PROJECTS ${CPACK_S19CUT_BINARY_DIR} ${CPACK_PACKAGE_NAME} ${component} /)
endforeach()
