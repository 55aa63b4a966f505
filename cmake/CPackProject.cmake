# Read by cpack once per package: the one time its entries carry, and which components it holds.

# cpack gives every entry this time, and leaves the time out of gzip headers, when it is set. An empty value
# counts as unset; any other that isn't a count of seconds stops cpack before it packs anything.
if("$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  set(ENV{SOURCE_DATE_EPOCH} ${CPACK_S19CUT_EPOCH})
elseif(NOT "$ENV{SOURCE_DATE_EPOCH}" MATCHES "^[0-9]+$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH is \"$ENV{SOURCE_DATE_EPOCH}\", not a count of seconds since 1970 in decimal "
                      "digits: set it so (git log -1 --format=%ct gives the last commit's), or unset it")
endif()

if(CPACK_GENERATOR STREQUAL "DEB")
  set(components tool docs debian)
  # Debian's changelog, made from CHANGELOG.md, names the maintainer: it is written with this cpack run's.
  if(NOT CPACK_DEBIAN_PACKAGE_MAINTAINER)
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
  endif()
  include(${CPACK_S19CUT_SOURCE_DIR}/cmake/ReleaseDates.cmake)
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
