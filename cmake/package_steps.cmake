# CPack runs this before it packs the staged files (CPACK_PRE_BUILD_SCRIPTS):
# the parts that the programs link (for the .zip the build found them, from
# the links' maps), the .deb's Built-Using field from them, and the bill of
# materials among the files. And after (CPACK_POST_BUILD_SCRIPTS, which set
# CPACK_PACKAGE_FILES): the package made independent of the umask and the
# time zone, then checked as Debian checks packages: Built-Using as found,
# lintian clean, and the bill of materials valid SPDX 2.3.
set(ENV{SOURCE_DATE_EPOCH} "${CPACK_TOOLS_SOURCE_DATE_EPOCH}")
set(sbom "${CPACK_TEMPORARY_DIRECTORY}${CPACK_TOOLS_SBOM}")
macro(tools_run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed (${status}): ${ARGN}")
  endif()
endmacro()

if(NOT CPACK_PACKAGE_FILES AND CPACK_GENERATOR STREQUAL "DEB")
  tools_run("${CPACK_TOOLS_PYTHON}" "${CPACK_TOOLS_THIRD_PARTY}" parts "${CPACK_TOOLS_PARTS}"
    ${CPACK_TOOLS_PARTS_ARGUMENTS})
  file(READ "${CPACK_TOOLS_PARTS}/built-using.txt" CPACK_TOOLS_BUILT_USING)
  # CPack has no variable for this field, but writes each field's value as
  # it is given: the field rides on the Section line.
  if(CPACK_TOOLS_BUILT_USING)
    string(APPEND CPACK_DEBIAN_PACKAGE_SECTION "\nBuilt-Using: ${CPACK_TOOLS_BUILT_USING}")
  endif()
endif()
if(NOT CPACK_PACKAGE_FILES)
  tools_run("${CPACK_TOOLS_PYTHON}" "${CPACK_TOOLS_THIRD_PARTY}" sbom "${CPACK_TOOLS_PARTS}/parts.json"
    "${CPACK_TEMPORARY_DIRECTORY}" "${sbom}" "${CPACK_PACKAGE_NAME}" "${CPACK_PACKAGE_VERSION}")
  return()
endif()

foreach(package IN LISTS CPACK_PACKAGE_FILES)
  tools_run("${CPACK_TOOLS_PYTHON}" "${CPACK_TOOLS_THIRD_PARTY}" normalise "${package}"
    "${CPACK_TOOLS_SOURCE_DATE_EPOCH}")
  if(CPACK_GENERATOR STREQUAL "DEB")
    execute_process(COMMAND dpkg-deb -f "${package}" Built-Using OUTPUT_VARIABLE built_using)
    string(STRIP "${built_using}" built_using)
    if(NOT built_using STREQUAL CPACK_TOOLS_BUILT_USING)
      message(FATAL_ERROR "${package}: Built-Using is \"${built_using}\", not \"${CPACK_TOOLS_BUILT_USING}\"")
    endif()
    message(STATUS "Built-Using: ${built_using}")
    if(CPACK_TOOLS_LINTIAN)
      tools_run("${CPACK_TOOLS_LINTIAN}" --fail-on error,warning "${package}")
      message(STATUS "lintian: no error and no warning in ${package}")
    endif()
  endif()
endforeach()
# Debian's python3-jsonschema, which the tests install.
execute_process(COMMAND "${CPACK_TOOLS_PYTHON}" -c "import jsonschema" RESULT_VARIABLE status ERROR_QUIET)
if(status EQUAL 0)
  tools_run("${CPACK_TOOLS_PYTHON}" -c
    "import json, jsonschema, sys; jsonschema.validate(*map(json.load, map(open, sys.argv[1:])))"
    "${sbom}" "${CPACK_TOOLS_SCHEMA}")
  message(STATUS "${CPACK_TOOLS_SBOM}: valid SPDX 2.3")
else()
  message(STATUS "${CPACK_TOOLS_SBOM} not checked against SPDX 2.3: no python3-jsonschema")
endif()
