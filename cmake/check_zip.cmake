# Makes the Windows .zip from a finished cross build and fails unless its
# listing holds every file in EXPECTED (paths below the archive's top folder,
# separated by |), every .exe in it carries its manifest and version (and
# those named in ICONS, separated by |, their icon: check_exe_resources.cmake),
# every .txt in it has CR LF line ends, and, with PARTS, its
# THIRD-PARTY-NOTICES.txt and its bill of materials hold every part there.
#
#   cmake -DCPACK=<cpack> -DCONFIG=<build>/CPackConfig.cmake -DDIR=<scratch folder>
#         "-DEXPECTED=README.txt|LICENSE.txt|bin/volume_table.exe"
#         -DWINDRES=<windres> -DICONS=script_view
#         [-DPARTS=<build>/third_party/parts.json]
#         -P check_zip.cmake

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

execute_process(COMMAND "${CMAKE_COMMAND}" -E tar xf "${archives}"
  WORKING_DIRECTORY "${DIR}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot unpack ${archives} (${status})")
endif()

# The one top folder, named like the .zip.
get_filename_component(top "${archives}" NAME_WLE)
set(top "${DIR}/${top}")
string(REPLACE "|" ";" icons "${ICONS}")
file(GLOB programs "${top}/bin/*.exe")
foreach(program IN LISTS programs)
  get_filename_component(name "${program}" NAME_WE)
  set(icon OFF)
  if(name IN_LIST icons)
    set(icon ON)
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" "-DWINDRES=${WINDRES}" "-DEXE=${program}"
      "-DICON=${icon}" -P "${CMAKE_CURRENT_LIST_DIR}/check_exe_resources.cmake"
    OUTPUT_VARIABLE output ERROR_VARIABLE output RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${output}")
  endif()
  string(REGEX REPLACE "^-- |\n$" "" output "${output}")
  message(STATUS "${output}")
endforeach()

# Read as bytes, since reading text drops every CR.
file(GLOB_RECURSE texts "${top}/*.txt")
foreach(text IN LISTS texts)
  file(READ "${text}" hex HEX)
  string(REGEX REPLACE "(..)" "\\1 " bytes "${hex}")
  if(bytes MATCHES "(^|[^0]. |0[^d] )0a ")
    file(RELATIVE_PATH name "${DIR}" "${text}")
    message(FATAL_ERROR "${name} has a line that does not end in CR LF")
  endif()
endforeach()

if(NOT PARTS)
  return()
endif()
# Every part the build found (PARTS, its parts.json) has its notice in
# THIRD-PARTY-NOTICES.txt (Qt's own are its files in bin/) and is a package
# of the bill of materials.
file(READ "${PARTS}" parts)
file(READ "${top}/THIRD-PARTY-NOTICES.txt" notices)
file(READ "${top}/tamber-tools.spdx.json" sbom)
string(JSON count LENGTH "${parts}" parts)
math(EXPR last "${count} - 1")
set(missing "")
set(unlisted "")
foreach(index RANGE ${last})
  string(JSON id GET "${parts}" parts ${index} id)
  string(JSON notice ERROR_VARIABLE none GET "${parts}" parts ${index} notice)
  # file(READ) drops the CR of every CR LF.
  string(REPLACE "\r\n" "\n" notice "${notice}")
  string(FIND "${notices}" "${notice}" at)
  if(NOT id STREQUAL "Qt" AND (none OR at EQUAL -1))
    list(APPEND missing "${id}")
  endif()
  string(REGEX REPLACE "[^A-Za-z0-9.-]" "-" spdx_id "${id}")
  string(FIND "${sbom}" "\"SPDXID\": \"SPDXRef-Package-${spdx_id}\"" at)
  if(at EQUAL -1)
    list(APPEND unlisted "${id}")
  endif()
endforeach()
if(missing OR unlisted OR count EQUAL 0)
  list(JOIN missing ", " missing)
  list(JOIN unlisted ", " unlisted)
  message(FATAL_ERROR "of ${count} parts, THIRD-PARTY-NOTICES.txt lacks the notice of: ${missing}; "
    "tamber-tools.spdx.json lacks: ${unlisted}")
endif()
message(STATUS "THIRD-PARTY-NOTICES.txt and tamber-tools.spdx.json: all ${count} parts")
