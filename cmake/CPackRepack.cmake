# Run by cpack after it has made a package, before it copies it out and computes its checksum.
# cpack's packages would differ from one machine or user to the next: an archive lists its entries in the
# order that the file system gives and with the packer as owner, a zip holds local times, and a .deb counts
# each folder at its size on disk in Installed-Size and gives its members the packer's umask. Each package
# is written again here from cpack's staged files: sorted by name, owned by root, all at the package's one
# time (SOURCE_DATE_EPOCH), with the same modes at any umask, so that every build of a commit gives the
# same bytes. cpack goes on after an error in this script: a failure removes the package, so that cpack fails
# too and leaves neither the package nor its checksum file, and removes the packages that this cpack run made
# before it, with theirs. They are named in S19CUT_PACKED, in the environment of the cpack process.
set(epoch $ENV{SOURCE_DATE_EPOCH})
macro(fail what)
  file(REMOVE ${CPACK_PACKAGE_FILES})
  set(packed "$ENV{S19CUT_PACKED}")
  foreach(made IN LISTS packed)
    file(REMOVE ${made} ${made}.sha256)
  endforeach()
  message(FATAL_ERROR "writing ${CPACK_PACKAGE_FILES} again failed: ${what}")
endmacro()
get_filename_component(name ${CPACK_PACKAGE_FILES} NAME)
set(ENV{S19CUT_PACKED} "$ENV{S19CUT_PACKED};${CPACK_PACKAGE_DIRECTORY}/${name}")
if(CPACK_GENERATOR STREQUAL "TGZ")
  find_program(TAR NAMES gtar tar)
  find_program(GZIP gzip)
  execute_process(COMMAND ${TAR} --version OUTPUT_VARIABLE version ERROR_QUIET)
  if(NOT version MATCHES "GNU tar" OR NOT GZIP)
    message(WARNING "no GNU tar or gzip: the .tar.gz is cpack's own, whose bytes depend on this machine")
    return()
  endif()
  get_filename_component(staged ${CPACK_TEMPORARY_DIRECTORY} NAME)
  execute_process(
    COMMAND ${TAR} -C ${CPACK_TOPLEVEL_DIRECTORY} --sort=name --owner=0 --group=0 --numeric-owner
                   --mtime=@${epoch} --mode=u=rwX,go=rX --format=gnu -cf - ${staged}
    COMMAND ${GZIP} -n -9
    OUTPUT_FILE ${CPACK_PACKAGE_FILES} RESULTS_VARIABLE results)
  if(NOT results STREQUAL "0;0")
    fail("tar and gzip gave ${results}")
  endif()
elseif(CPACK_GENERATOR STREQUAL "ZIP")
  find_program(ZIP zip)
  find_program(TOUCH touch)
  if(NOT ZIP OR NOT TOUCH)
    message(WARNING "no Info-ZIP zip or touch: the .zip is cpack's own, whose bytes depend on this machine")
    return()
  endif()
  # file(GLOB) sorts; zip -X leaves out the owner, and the time zone of its DOS times is UTC.
  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${CPACK_TEMPORARY_DIRECTORY} ${CPACK_TEMPORARY_DIRECTORY}/*)
  file(REMOVE ${CPACK_PACKAGE_FILES})
  execute_process(COMMAND ${TOUCH} -d @${epoch} ${files} WORKING_DIRECTORY ${CPACK_TEMPORARY_DIRECTORY}
                  RESULT_VARIABLE failed)
  if(failed)
    fail("touch gave ${failed}")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${ZIP} -X -D -9 -q ${CPACK_PACKAGE_FILES} ${files}
                  WORKING_DIRECTORY ${CPACK_TEMPORARY_DIRECTORY} RESULT_VARIABLE failed)
  if(failed)
    fail("zip gave ${failed}")
  endif()
elseif(CPACK_GENERATOR STREQUAL "DEB")
  # dpkg-deb builds it again from cpack's staged usr/ and its control and md5sums files.
  set(root ${CPACK_TOPLEVEL_DIRECTORY}/reproducible)
  file(REMOVE_RECURSE ${root})
  file(COPY ${CPACK_TEMPORARY_DIRECTORY}/usr DESTINATION ${root})
  # Modes as Debian wants them, whatever the umask: folders and programs 0755, other files 0644.
  # Installed-Size as dpkg-gencontrol counts it: each file's size in KiB, rounded up, and 1 for each folder.
  set(rwx OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(rw OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE ${root} ${root}/*)
  set(kib 1)
  foreach(entry IN LISTS entries)
    if(IS_DIRECTORY ${root}/${entry})
      file(CHMOD ${root}/${entry} PERMISSIONS ${rwx})
      math(EXPR kib "${kib} + 1")
    else()
      if(entry MATCHES "^usr/bin/")
        file(CHMOD ${root}/${entry} PERMISSIONS ${rwx})
      else()
        file(CHMOD ${root}/${entry} PERMISSIONS ${rw})
      endif()
      file(SIZE ${root}/${entry} size)
      math(EXPR kib "${kib} + (${size} + 1023) / 1024")
    endif()
  endforeach()
  file(COPY ${CPACK_TEMPORARY_DIRECTORY}/md5sums DESTINATION ${root}/DEBIAN)
  file(CHMOD ${root} ${root}/DEBIAN PERMISSIONS ${rwx})
  file(READ ${CPACK_TEMPORARY_DIRECTORY}/control control)
  string(REGEX REPLACE "Installed-Size: [0-9]+" "Installed-Size: ${kib}" control "${control}")
  file(WRITE ${root}/DEBIAN/control "${control}")
  file(CHMOD ${root}/DEBIAN/control ${root}/DEBIAN/md5sums PERMISSIONS ${rw})
  # dpkg-deb only brings later times down to SOURCE_DATE_EPOCH: every entry is given it, here where the file
  # system must hold it.
  file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE ${root} ${root}/*)
  execute_process(COMMAND touch -h -d @${epoch} . ${entries} WORKING_DIRECTORY ${root} RESULT_VARIABLE failed)
  file(TIMESTAMP ${root}/DEBIAN/control held "%s" UTC)
  if(failed OR NOT held STREQUAL epoch)
    fail("the build folder's file system can't hold the time ${epoch} (touch gave ${failed}, the time ${held})")
  endif()
  execute_process(COMMAND dpkg-deb --root-owner-group -Zgzip --build ${root} ${CPACK_PACKAGE_FILES}
                  OUTPUT_QUIET RESULT_VARIABLE failed)
  if(failed)
    fail("dpkg-deb gave ${failed}")
  endif()
endif()
