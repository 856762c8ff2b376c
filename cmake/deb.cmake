# The .deb (from cmake/packaging.cmake): the programs in /usr/bin, a manual
# page each, and in /usr/share/doc/tamber-tools/ the copyright file, the
# changelog and the bill of materials. It depends on the shared libraries
# that its programs link: Qt and the C++ runtime for script_view, nothing
# for the console programs, linked statically. For another architecture than
# this machine's, the toolchain file names Debian's (TOOLS_DEB_ARCHITECTURE).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(TOOLS_DEB_ARCHITECTURE)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE "${TOOLS_DEB_ARCHITECTURE}")
endif()
set(doc_dir "${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_PACKAGE_NAME}")
set(CPACK_TOOLS_SBOM "/usr/${doc_dir}/${CPACK_PACKAGE_NAME}.spdx.json")

# The copyright file is LICENSE in Debian's machine-readable form: the
# holders from its copyright line, the text after it indented, a blank line
# written as " .".
file(READ "${PROJECT_SOURCE_DIR}/LICENSE" licence)
if(NOT licence MATCHES "\nCopyright \\(c\\) ([^\n]+)\n\n(.+[^\n])\n*$")
  message(FATAL_ERROR "LICENSE: no copyright line followed by the licence text")
endif()
set(tools_copyright "${CMAKE_MATCH_1}")
string(REPLACE "\n\n" "\n.\n" tools_licence_text "${CMAKE_MATCH_2}")
string(REPLACE "\n" "\n " tools_licence_text " ${tools_licence_text}")
configure_file("${CMAKE_CURRENT_LIST_DIR}/debian/copyright.in" copyright @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/copyright" DESTINATION "${doc_dir}")
install(FILES "${CMAKE_CURRENT_LIST_DIR}/debian/lintian-overrides"
  DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides" RENAME "${CPACK_PACKAGE_NAME}")

# Debian wants the changelog and the manual pages compressed, with no name
# or time stamp in the gzip header, so that a rebuild gives the same bytes.
set(pages "${CMAKE_CURRENT_LIST_DIR}/debian/changelog")
foreach(program IN LISTS TOOLS_PROGRAMS)
  get_target_property(program_dir ${program} SOURCE_DIR)
  list(APPEND pages "${program_dir}/${program}.1")
endforeach()
set(gzipped "")
foreach(page IN LISTS pages)
  get_filename_component(name "${page}" NAME)
  add_custom_command(OUTPUT "gzipped/${name}.gz"
    COMMAND "${CMAKE_COMMAND}" -E copy "${page}" "gzipped/${name}"
    COMMAND gzip -9nf "gzipped/${name}"
    DEPENDS "${page}" VERBATIM)
  list(APPEND gzipped "${PROJECT_BINARY_DIR}/gzipped/${name}.gz")
endforeach()
add_custom_target(tools_docs ALL DEPENDS ${gzipped})
list(POP_FRONT gzipped changelog)
install(FILES "${changelog}" DESTINATION "${doc_dir}")
install(FILES ${gzipped} DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")

# The parts that the programs link, for Built-Using (the source packages of
# the C and C++ runtimes linked in statically, at exactly the versions built
# with, as Debian asks) and the bill of materials: found as the package is
# made, so that they follow the machine's libraries rather than what they
# were when the build was configured.
set(CPACK_TOOLS_PARTS_ARGUMENTS "--compiler=${CMAKE_CXX_COMPILER}" "--target=${CMAKE_CXX_COMPILER_TARGET}")
foreach(program IN LISTS TOOLS_PROGRAMS)
  if(program STREQUAL "script_view")
    foreach(module IN ITEMS Core Gui Widgets)
      get_target_property(library Qt5::${module} LOCATION)
      list(APPEND CPACK_TOOLS_PARTS_ARGUMENTS "--link=${program}=${library}")
    endforeach()
  elseif(TOOLS_STATIC_RUNTIME)
    foreach(archive IN ITEMS libc.a libstdc++.a libgcc.a libgcc_eh.a)
      list(APPEND CPACK_TOOLS_PARTS_ARGUMENTS "--link=${program}=${archive}")
    endforeach()
  endif()
endforeach()
find_program(CPACK_TOOLS_LINTIAN lintian)
