# Fails unless EXE carries its manifest (UTF-8 code page, long paths) and the project version:
# cmake -DWINDRES=… -DEXE=… -DVERSION=… -P CheckResources.cmake
execute_process(COMMAND ${WINDRES} -i ${EXE} -O rc OUTPUT_VARIABLE rc RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${WINDRES} could not read the resources of ${EXE}")
endif()
string(REPLACE "\"\"" "\"" rc "${rc}")
string(REGEX REPLACE "\\.([0-9]+)" ", \\1" numbers "${VERSION}.0")
set(expected
  "\n1 24 /\\* RT_MANIFEST \\*/\n"
  "<activeCodePage xmlns=\"http://schemas.microsoft.com/SMI/2019/WindowsSettings\">UTF-8</activeCodePage>"
  "<longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">true</longPathAware>"
  "FILEVERSION ${numbers}\n"
  "PRODUCTVERSION ${numbers}\n"
  "VALUE \"FileVersion\", \"${VERSION}\""
  "VALUE \"ProductVersion\", \"${VERSION}\""
  "VALUE \"ProductName\", \"s19cut\""
  "VALUE \"OriginalFilename\", \"s19cut.exe\""
  "VALUE \"FileDescription\", \"[^\"]+\""
  "VALUE \"LegalCopyright\", \"Copyright [^\"]+\"")
foreach(pattern IN LISTS expected)
  if(NOT rc MATCHES "${pattern}")
    message(FATAL_ERROR "${EXE} lacks ${pattern}")
  endif()
endforeach()
string(REGEX MATCHALL "RT_MANIFEST" manifests "${rc}")
list(LENGTH manifests count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "${EXE} has ${count} manifests, not one")
endif()
message(STATUS "${EXE}: one manifest with the UTF-8 code page and long paths, version ${VERSION}")
