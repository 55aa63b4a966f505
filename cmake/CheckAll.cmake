# Builds and tests every configuration in turn: cmake -P cmake/CheckAll.cmake
# The Windows build is tested with the native build's end-to-end tests, so the native one comes first.
set(source_dir ${CMAKE_CURRENT_LIST_DIR}/..)
set(presets default windows sanitize fuzz)

set(packages "cmake g++ libgtest-dev g++-mingw-w64-x86-64 wine wine64 clang libclang-rt-dev valgrind binutils time")
foreach(tool g++ x86_64-w64-mingw32-g++ wine clang++ valgrind objcopy)
  find_program(found_${tool} ${tool})
  if(NOT found_${tool})
    message(FATAL_ERROR "${tool} is missing; the whole suite needs: apt-get install ${packages}")
  endif()
endforeach()

foreach(preset IN LISTS presets)
  message(STATUS "==== ${preset}")
  execute_process(COMMAND ${CMAKE_COMMAND} --workflow --preset ${preset}
                  WORKING_DIRECTORY ${source_dir} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the ${preset} workflow failed")
  endif()
endforeach()
message(STATUS "all workflows passed: ${presets}")
