# Makes the Windows .zip from a finished cross build and fails unless its
# listing holds every file in EXPECTED (paths below the archive's top folder,
# separated by |).
#
#   cmake -DCPACK=<cpack> -DCONFIG=<build>/CPackConfig.cmake -DDIR=<scratch folder>
#         "-DEXPECTED=README.txt|LICENSE.txt|bin/volume_table.exe" -P check_zip.cmake

cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${DIR}")
execute_process(COMMAND "${CPACK}" --config "${CONFIG}" -G ZIP -B "${DIR}"
  OUTPUT_VARIABLE output ERROR_VARIABLE output RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cpack failed (${status}):\n${output}")
endif()
file(GLOB archives "${DIR}/*.zip")
list(LENGTH archives count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one .zip in ${DIR}, found ${count}:\n${output}")
endif()

execute_process(COMMAND "${CMAKE_COMMAND}" -E tar tf "${archives}"
  OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot list ${archives} (${status})")
endif()
message(STATUS "${archives}:\n${listing}")
string(REPLACE "\n" ";" entries "${listing}")
set(missing "")
string(REPLACE "|" ";" expected "${EXPECTED}")
foreach(file IN LISTS expected)
  # Each entry lies below one top folder, named after the package.
  string(REPLACE "." "\\." pattern "${file}")
  set(found "${entries}")
  list(FILTER found INCLUDE REGEX "^[^/]+/${pattern}$")
  if(NOT found)
    list(APPEND missing "${file}")
  endif()
endforeach()
if(missing)
  list(JOIN missing ", " shown)
  message(FATAL_ERROR "missing from the .zip: ${shown}")
endif()
