# Builds the Debian package in DIR, unpacks it with dpkg-deb -x and converts the sample image with the
# unpacked tool: cmake -DCPACK=… -DCONFIG=…/CPackConfig.cmake -DVERSION=… -DSAMPLE=… -DDIR=… -P CheckDeb.cmake
file(REMOVE_RECURSE ${DIR})
execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE arch OUTPUT_STRIP_TRAILING_WHITESPACE)
set(deb ${DIR}/s19cut_${VERSION}_${arch}.deb)
execute_process(COMMAND ${CPACK} --config ${CONFIG} -G DEB -B ${DIR} OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(NOT EXISTS ${deb})
  message(FATAL_ERROR "cpack made no ${deb}:\n${log}")
endif()
execute_process(COMMAND dpkg-deb -f ${deb} Depends Maintainer OUTPUT_VARIABLE fields)
if(NOT fields MATCHES "Depends: [^\n]*libc6" OR NOT fields MATCHES "Maintainer: [^\n]")
  message(FATAL_ERROR "${deb} lacks its computed dependencies or its maintainer:\n${fields}")
endif()
execute_process(COMMAND dpkg-deb -x ${deb} ${DIR}/root)
foreach(file bin/s19cut share/man/man1/s19cut.1 share/doc/s19cut/README.md share/doc/s19cut/LICENSE)
  if(NOT EXISTS ${DIR}/root/usr/${file})
    message(FATAL_ERROR "${deb} lacks /usr/${file}")
  endif()
endforeach()

file(COPY ${SAMPLE} DESTINATION ${DIR}/run)
get_filename_component(name ${SAMPLE} NAME)
execute_process(COMMAND ${DIR}/root/usr/bin/s19cut -f${name} -s100 WORKING_DIRECTORY ${DIR}/run
                OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
string(CONCAT expected "  -> input file  = ${name}\n"
                       "  -> output file = ${name}.A0.S19   SAVE 2300 A2FF 00000100\n"
                       "  -> output file = ${name}.A1.S19   SAVE 2300 3F3F 00000140\n")
if(NOT rc EQUAL 0 OR NOT out STREQUAL expected OR NOT err STREQUAL "")
  message(FATAL_ERROR "the unpacked tool gave status ${rc} with\n${out}${err}")
endif()
message(STATUS "${deb} unpacks, and its s19cut converts ${name}")
