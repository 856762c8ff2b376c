# Makes the Windows .zip from a finished cross build and fails unless its
# listing holds every file in EXPECTED (paths below the archive's top folder,
# separated by |), every .exe in it carries its manifest and version (and
# those named in ICONS, separated by |, their icon: check_exe_resources.cmake),
# every .txt in it has CR LF line ends, and, with NOTICE_SECTIONS, its
# THIRD-PARTY-NOTICES.txt holds the section of every component named in
# NOTICE_SECTIONS/components.txt as the build wrote it to
# NOTICE_SECTIONS/<component>.txt, and its bill of materials names each of
# them, and Qt.
#
#   cmake -DCPACK=<cpack> -DCONFIG=<build>/CPackConfig.cmake -DDIR=<scratch folder>
#         "-DEXPECTED=README.txt|LICENSE.txt|bin/volume_table.exe"
#         -DWINDRES=<windres> -DICONS=script_view
#         [-DNOTICE_SECTIONS=<build>/third_party_notices]
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

if(NOT NOTICE_SECTIONS)
  return()
endif()
file(GLOB notices "${top}/THIRD-PARTY-NOTICES.txt")
file(STRINGS "${NOTICE_SECTIONS}/components.txt" components)
if(NOT notices OR NOT components)
  message(FATAL_ERROR "no THIRD-PARTY-NOTICES.txt in ${archives}, or no components in "
    "${NOTICE_SECTIONS}/components.txt")
endif()
file(READ "${notices}" text)
foreach(component IN LISTS components)
  set(section_file "${NOTICE_SECTIONS}/${component}.txt")
  set(at -1)
  if(EXISTS "${section_file}")
    file(READ "${section_file}" section)
    string(FIND "${text}" "${section}" at)
  endif()
  if(at EQUAL -1)
    list(APPEND missing "${component}")
  endif()
endforeach()
if(missing)
  list(JOIN missing ", " shown)
  message(FATAL_ERROR "THIRD-PARTY-NOTICES.txt lacks the notice of: ${shown}")
endif()
list(LENGTH components count)
message(STATUS "THIRD-PARTY-NOTICES.txt: the notices of all ${count} components")

# The bill of materials names the same parts, and Qt.
file(READ "${top}/tamber-tools.spdx.json" sbom)
string(JSON last LENGTH "${sbom}" packages)
math(EXPR last "${last} - 1")
set(ids "")
foreach(index RANGE ${last})
  string(JSON id GET "${sbom}" packages ${index} SPDXID)
  list(APPEND ids "${id}")
endforeach()
if(EXPECTED MATCHES "script_view\\.exe")
  list(APPEND components Qt)
endif()
foreach(component IN LISTS components)
  string(REGEX REPLACE "[^A-Za-z0-9.-]" "-" id "${component}")
  if(NOT "SPDXRef-Package-${id}" IN_LIST ids)
    list(APPEND missing "${component}")
  endif()
endforeach()
if(missing)
  list(JOIN missing ", " shown)
  message(FATAL_ERROR "tamber-tools.spdx.json lacks: ${shown}")
endif()
message(STATUS "tamber-tools.spdx.json: the same parts")
