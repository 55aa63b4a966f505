# Run by cpack after it has made a package, before it copies it out and computes its checksum.
# cpack writes an archive's entries in the order that the file system lists them, owned by whoever packs,
# and a zip's times in the local time zone: each would give other bytes on another machine. The .tar.gz
# and .zip are written again here, their entries sorted by name, owned by root, all at the package's one
# time (SOURCE_DATE_EPOCH). The .deb needs none of this: cpack already sorts it and gives it to root.
if(NOT CPACK_GENERATOR MATCHES "^(TGZ|ZIP)$")
  return()
endif()
set(epoch $ENV{SOURCE_DATE_EPOCH})
get_filename_component(staged ${CPACK_TEMPORARY_DIRECTORY} NAME)
if(CPACK_GENERATOR STREQUAL "TGZ")
  find_program(TAR NAMES gtar tar)
  find_program(GZIP gzip)
  execute_process(COMMAND ${TAR} --version OUTPUT_VARIABLE version ERROR_QUIET)
  if(NOT version MATCHES "GNU tar" OR NOT GZIP)
    message(FATAL_ERROR "the .tar.gz needs GNU tar and gzip to come out the same on every machine")
  endif()
  execute_process(
    COMMAND ${TAR} -C ${CPACK_TOPLEVEL_DIRECTORY} --sort=name --owner=0 --group=0 --numeric-owner
                   --mtime=@${epoch} --mode=u=rwX,go=rX --format=gnu -cf - ${staged}
    COMMAND ${GZIP} -n -9
    OUTPUT_FILE ${CPACK_PACKAGE_FILES} RESULT_VARIABLE failed)
else()
  find_program(ZIP zip)
  if(NOT ZIP)
    message(FATAL_ERROR "the .zip needs Info-ZIP's zip (apt-get install zip) to come out the same on every machine")
  endif()
  # file(GLOB) sorts; zip -X leaves out the owner, and the time zone of its DOS times is UTC.
  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${CPACK_TEMPORARY_DIRECTORY} ${CPACK_TEMPORARY_DIRECTORY}/*)
  file(REMOVE ${CPACK_PACKAGE_FILES})
  execute_process(COMMAND touch -d @${epoch} ${files} WORKING_DIRECTORY ${CPACK_TEMPORARY_DIRECTORY})
  execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${ZIP} -X -D -9 -q ${CPACK_PACKAGE_FILES} ${files}
                  WORKING_DIRECTORY ${CPACK_TEMPORARY_DIRECTORY} RESULT_VARIABLE failed)
endif()
if(failed)
  message(FATAL_ERROR "writing ${CPACK_PACKAGE_FILES} again failed")
endif()
