# The Windows .zip (from cmake/packaging.cmake): one folder,
# tamber-tools-<version>-windows-x86_64, with the programs in bin/, a
# README.txt that says what lies where, the licence, the notices of what the
# programs have linked in, the bill of materials and the project's source.
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-windows-${CMAKE_SYSTEM_PROCESSOR}")
set(CPACK_TOOLS_SBOM "/${CPACK_PACKAGE_NAME}.spdx.json")
set(TOOLS_SOURCE_ZIP "${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-source.zip")
# Windows' own editors and the caller's authors expect CR LF, in every text
# file of the .zip (third_party.py writes its own so).
configure_file("${CMAKE_CURRENT_LIST_DIR}/windows/README.txt" README.txt @ONLY NEWLINE_STYLE CRLF)
configure_file("${PROJECT_SOURCE_DIR}/LICENSE" LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES "${PROJECT_BINARY_DIR}/README.txt" "${PROJECT_BINARY_DIR}/LICENSE.txt" DESTINATION .)
set(expected README.txt LICENSE.txt ${CPACK_PACKAGE_NAME}.spdx.json)
list(TRANSFORM TOOLS_PROGRAMS REPLACE "(.+)" "bin/\\1.exe" OUTPUT_VARIABLE programs)
list(APPEND expected ${programs})

# This version's own source, for anyone who links the viewer again with
# another Qt (which Qt's licence asks to be possible), and for everyone else.
find_package(Git QUIET)
if(GIT_FOUND AND EXISTS "${PROJECT_SOURCE_DIR}/.git")
  set(source_zip "source/${TOOLS_SOURCE_ZIP}")
  install(CODE "set(TOOLS_GIT \"${GIT_EXECUTABLE}\")
    set(TOOLS_SOURCE \"${PROJECT_SOURCE_DIR}\")
    set(TOOLS_SOURCE_ZIP \"${source_zip}\")
    set(TOOLS_SOURCE_TOP ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION})")
  install(SCRIPT "${CMAKE_CURRENT_LIST_DIR}/source_zip.cmake")
  list(APPEND expected "${source_zip}")
else()
  message(STATUS "The .zip will not hold the source: it is made from git, and this is no git checkout")
endif()

# The parts, THIRD-PARTY-NOTICES.txt and, with the viewer, Qt's licence and
# Qt-source.txt (where that Qt came from, how it was built and how to link
# the viewer again with another), written once the programs are linked, from
# the linker's map of each, the Debian packages of a cross build's runtime
# (a native MinGW has its own) and the notes that scripts/build-windows-qt.sh
# left beside its Qt.
find_program(TOOLS_DPKG_QUERY dpkg-query)
if(MINGW AND TOOLS_DPKG_QUERY AND TOOLS_PYTHON)
  set(out "${CPACK_TOOLS_PARTS}")
  set(arguments "--build-dir=${PROJECT_BINARY_DIR}" "--define=PROJECT_VERSION=${PROJECT_VERSION}"
    "--template=${CMAKE_CURRENT_LIST_DIR}/windows/THIRD-PARTY-NOTICES.txt.in")
  set(outputs "${out}/THIRD-PARTY-NOTICES.txt")
  foreach(program IN LISTS TOOLS_PROGRAMS)
    target_link_options(${program} PRIVATE "LINKER:-Map=${out}/${program}.map")
    list(APPEND arguments "--map=${program}=${out}/${program}.map")
  endforeach()
  if(TARGET script_view)
    # Qt5_DIR is <prefix>/lib/cmake/Qt5.
    get_filename_component(qt_prefix "${Qt5_DIR}/../../.." ABSOLUTE)
    list(APPEND arguments "--qt-notes=${tools_qt_notes}" "--qt-prefix=${qt_prefix}"
      "--qt-template=${CMAKE_CURRENT_LIST_DIR}/windows/Qt-source.txt.in"
      "--define=TOOLS_SOURCE_ZIP=${TOOLS_SOURCE_ZIP}")
    set(qt_files Qt-LICENSE-LGPL-3.0.txt Qt-LICENSE-GPL-3.0.txt Qt-source.txt)
    list(TRANSFORM qt_files PREPEND "${out}/" OUTPUT_VARIABLE qt_outputs)
    list(TRANSFORM qt_files PREPEND "bin/")
    list(APPEND outputs ${qt_outputs})
    set(qt_depends "${tools_qt_notes}/qt-objects.txt" "${CMAKE_CURRENT_LIST_DIR}/windows/Qt-source.txt.in")
    list(APPEND expected ${qt_files})
    install(FILES ${qt_outputs} DESTINATION "${CMAKE_INSTALL_BINDIR}")
  endif()
  file(MAKE_DIRECTORY "${out}")
  add_custom_command(OUTPUT ${outputs} "${out}/parts.json"
    COMMAND "${TOOLS_PYTHON}" "${CMAKE_CURRENT_LIST_DIR}/third_party.py" parts "${out}" ${arguments}
    DEPENDS ${TOOLS_PROGRAMS} ${qt_depends} "${CMAKE_CURRENT_LIST_DIR}/third_party.py"
      "${CMAKE_CURRENT_LIST_DIR}/windows/THIRD-PARTY-NOTICES.txt.in"
    COMMENT "Writing THIRD-PARTY-NOTICES.txt from what the programs have linked in" VERBATIM)
  add_custom_target(third_party_notices ALL DEPENDS ${outputs})
  install(FILES "${out}/THIRD-PARTY-NOTICES.txt" DESTINATION .)
  list(APPEND expected THIRD-PARTY-NOTICES.txt)
  set(check_parts "-DPARTS=${out}/parts.json")
else()
  message(STATUS "THIRD-PARTY-NOTICES.txt is made in a cross build on Debian or Ubuntu only, with Python")
endif()

if(BUILD_TESTING)
  # One argument for the script: a list would split into several.
  list(JOIN expected "|" expected)
  add_test(NAME package.zip_contents
    COMMAND "${CMAKE_COMMAND}" "-DCPACK=${CMAKE_CPACK_COMMAND}" "-DCONFIG=${PROJECT_BINARY_DIR}/CPackConfig.cmake"
      "-DDIR=${PROJECT_BINARY_DIR}/zip_check" "-DEXPECTED=${expected}" "-DWINDRES=${CMAKE_RC_COMPILER}"
      -DICONS=script_view ${check_parts} -P "${CMAKE_CURRENT_LIST_DIR}/check_zip.cmake")
  set_tests_properties(package.zip_contents PROPERTIES LABELS package)
endif()
