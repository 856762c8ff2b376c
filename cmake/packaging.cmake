# Packages of what the build installs (everything under bin/): a .deb on
# Linux and a .zip on Windows.
#
#   cmake --workflow --preset deb           build/release/tamber-tools_<version>_<arch>.deb
#   cmake --workflow --preset windows-zip   build/windows/tamber-tools-<version>-windows-x86_64.zip
#
# or `cpack --preset deb` / `cpack --preset windows-zip` on a finished build.

set(CPACK_PACKAGE_NAME "tamber-tools")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION "\
Four small programs that a calculation application calls through files in
its working directory: volume_table copies the region-volume tables out of a
result file, line_count and point_count count the lines of a file, and
script_view shows a text file in a window.")
# The project's role address; cmake/debian/changelog names the same.
set(CPACK_PACKAGE_CONTACT "Tamber tools maintainers <maintainers@tamber-tools.example>")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-windows-${CMAKE_SYSTEM_PROCESSOR}")
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  # The package depends on the shared libraries its programs link, which is
  # Qt (and the C++ runtime) for script_view; the statically linked console
  # programs add nothing.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

# What a user reads beside the programs: the licence, and a manual page for
# each program on Linux or one README.txt on Windows.
if(WIN32)
  set(TOOLS_SOURCE_ZIP "${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-source.zip")
  # Windows' own editors and the caller's authors expect CR LF, in every
  # text file of the .zip.
  configure_file("${PROJECT_SOURCE_DIR}/cmake/windows/README.txt"
    "${PROJECT_BINARY_DIR}/README.txt" @ONLY NEWLINE_STYLE CRLF)
  configure_file("${PROJECT_SOURCE_DIR}/LICENSE"
    "${PROJECT_BINARY_DIR}/LICENSE.txt" @ONLY NEWLINE_STYLE CRLF)
  install(FILES "${PROJECT_BINARY_DIR}/README.txt" "${PROJECT_BINARY_DIR}/LICENSE.txt"
    DESTINATION .)
  set(tools_zip_expected "README.txt|LICENSE.txt")

  # This version's own source, as the commit has it, for anyone who links the
  # viewer again with another Qt (which Qt's licence asks to be possible),
  # and for everyone else: made when the .zip is, so that it is the source of
  # what was built.
  find_package(Git QUIET)
  if(GIT_FOUND AND EXISTS "${PROJECT_SOURCE_DIR}/.git")
    set(tools_source_zip "source/${TOOLS_SOURCE_ZIP}")
    install(CODE "
      set(source_zip \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${tools_source_zip}\")
      execute_process(COMMAND \"${GIT_EXECUTABLE}\" status --porcelain --untracked-files=no
        WORKING_DIRECTORY \"${PROJECT_SOURCE_DIR}\" OUTPUT_VARIABLE changed)
      if(changed)
        message(WARNING \"${tools_source_zip} is the last commit, without the changes since\")
      endif()
      get_filename_component(folder \"\${source_zip}\" DIRECTORY)
      file(MAKE_DIRECTORY \"\${folder}\")
      execute_process(COMMAND \"${GIT_EXECUTABLE}\" archive --format=zip
          \"--prefix=${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}/\" -o \"\${source_zip}\" HEAD
        WORKING_DIRECTORY \"${PROJECT_SOURCE_DIR}\" COMMAND_ERROR_IS_FATAL ANY)
    ")
    string(APPEND tools_zip_expected "|${tools_source_zip}")
  else()
    message(STATUS "The .zip will not hold the source: it is made from git, and this is no git checkout")
  endif()

  # Qt is linked into the viewer: its licence, and where it came from and how
  # to link the viewer again with another, go beside it. The notes of an
  # older scripts/build-windows-qt.sh lack the patches and the objects.
  if(TARGET script_view AND NOT EXISTS "${tools_qt_notes}/qt-objects.txt")
    message(WARNING "${tools_qt_notes} lacks what the .zip takes from Qt's source and build "
      "(the patches, what Qt's libraries are built from): scripts/build-windows-qt.sh adds it")
  elseif(TARGET script_view)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
      "${tools_qt_notes}/qt-source.txt" "${tools_qt_notes}/debian-patches.txt")
    # Every line in CR LF, those of a text put in by a variable as well.
    function(tools_write_crlf path text)
      string(REPLACE "\r\n" "\n" text "${text}")
      string(REPLACE "\n" "\r\n" text "${text}")
      file(WRITE "${path}" "${text}")
    endfunction()
    foreach(licence IN ITEMS LGPL GPL)
      file(READ "${tools_qt_notes}/LICENSE.${licence}3" text)
      tools_write_crlf("${PROJECT_BINARY_DIR}/qt/Qt-LICENSE-${licence}-3.0.txt" "${text}")
    endforeach()
    # "Qt 5.15.8 (qtbase only), built from Debian's source package
    # qtbase-opensource-src <version> with Debian's patches, with MinGW-w64
    # <compiler>, configured with: <options>", as build-windows-qt.sh writes it.
    file(STRINGS "${tools_qt_notes}/qt-source.txt" facts LIMIT_COUNT 1)
    if(NOT facts MATCHES "^Qt ([^ ]+) .* source package [^ ]+ ([^ ]+) with .*, with MinGW-w64 (.+), configured with: (.+)$")
      message(FATAL_ERROR "${tools_qt_notes}/qt-source.txt is not as scripts/build-windows-qt.sh writes it")
    endif()
    set(TOOLS_QT_VERSION "${CMAKE_MATCH_1}")
    set(TOOLS_QT_PACKAGE_VERSION "${CMAKE_MATCH_2}")
    set(TOOLS_QT_COMPILER "${CMAKE_MATCH_3}")
    set(TOOLS_QT_CONFIGURE "${CMAKE_MATCH_4}")
    file(STRINGS "${tools_qt_notes}/debian-patches.txt" patches)
    list(TRANSFORM patches PREPEND "    ")
    list(JOIN patches "\n" TOOLS_QT_PATCHES)
    set(template "${PROJECT_SOURCE_DIR}/cmake/windows/Qt-source.txt.in")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${template}")
    file(READ "${template}" text)
    string(CONFIGURE "${text}" text @ONLY)
    tools_write_crlf("${PROJECT_BINARY_DIR}/qt/Qt-source.txt" "${text}")
    install(FILES "${PROJECT_BINARY_DIR}/qt/Qt-LICENSE-LGPL-3.0.txt"
      "${PROJECT_BINARY_DIR}/qt/Qt-LICENSE-GPL-3.0.txt" "${PROJECT_BINARY_DIR}/qt/Qt-source.txt"
      DESTINATION bin)
  endif()

  # The notices of what MinGW-w64 and Qt link in come from the Debian packages
  # of a cross build; a native MinGW has its own. They are written once the
  # programs are linked, from the linker's map of each.
  find_program(TOOLS_DPKG_QUERY dpkg-query)
  set(tools_notice_sections "")
  if(MINGW AND TOOLS_DPKG_QUERY)
    set(tools_notice_sections "${PROJECT_BINARY_DIR}/third_party_notices")
    set(notices "${PROJECT_BINARY_DIR}/THIRD-PARTY-NOTICES.txt")
    set(maps "")
    set(programs "")
    set(qt_prefix "")
    set(qt_notes "")
    foreach(program IN ITEMS volume_table line_count point_count script_view)
      if(TARGET ${program})
        set(map "${PROJECT_BINARY_DIR}/link_maps/${program}.map")
        target_link_options(${program} PRIVATE "LINKER:-Map=${map}")
        list(APPEND maps "${map}")
        list(APPEND programs ${program})
      endif()
    endforeach()
    file(MAKE_DIRECTORY "${PROJECT_BINARY_DIR}/link_maps")
    list(JOIN maps "|" maps)
    set(depends "${PROJECT_SOURCE_DIR}/cmake/third_party_notices.cmake"
      "${PROJECT_SOURCE_DIR}/cmake/windows/THIRD-PARTY-NOTICES.txt.in")
    if(TARGET script_view)
      # script_view/ names the notes beside its Qt (Qt5_DIR is <prefix>/lib/cmake/Qt5).
      get_filename_component(qt_prefix "${Qt5_DIR}/../../.." ABSOLUTE)
      set(qt_notes "${tools_qt_notes}")
      if(EXISTS "${qt_notes}/qt-objects.txt")
        list(APPEND depends "${qt_notes}/qt-objects.txt")
      endif()
    endif()
    add_custom_command(OUTPUT "${notices}" "${tools_notice_sections}/components.txt"
      COMMAND "${CMAKE_COMMAND}" "-DOUTPUT=${notices}" "-DSECTIONS=${tools_notice_sections}"
        "-DMAPS=${maps}" "-DBUILD_DIR=${PROJECT_BINARY_DIR}" "-DQT_NOTES=${qt_notes}"
        "-DQT_PREFIX=${qt_prefix}"
        "-DTEMPLATE=${PROJECT_SOURCE_DIR}/cmake/windows/THIRD-PARTY-NOTICES.txt.in"
        "-DPROJECT_VERSION=${PROJECT_VERSION}"
        -P "${PROJECT_SOURCE_DIR}/cmake/third_party_notices.cmake"
      DEPENDS ${programs} ${depends}
      COMMENT "Writing THIRD-PARTY-NOTICES.txt from what the programs have linked in"
      VERBATIM)
    add_custom_target(third_party_notices ALL DEPENDS "${notices}")
    install(FILES "${notices}" DESTINATION .)
    string(APPEND tools_zip_expected "|THIRD-PARTY-NOTICES.txt")
  else()
    message(STATUS "THIRD-PARTY-NOTICES.txt is made in a cross build on Debian or Ubuntu only")
  endif()
  if(BUILD_TESTING)
    # One argument for the script: a list would split into several.
    foreach(program IN ITEMS volume_table line_count point_count script_view)
      if(TARGET ${program})
        string(APPEND tools_zip_expected "|bin/${program}.exe")
      endif()
    endforeach()
    # Qt is linked into the viewer: its licence and source note must go along.
    if(TARGET script_view)
      string(APPEND tools_zip_expected "|bin/Qt-LICENSE-LGPL-3.0.txt|bin/Qt-LICENSE-GPL-3.0.txt|bin/Qt-source.txt")
    endif()
    add_test(NAME package.zip_contents
      COMMAND "${CMAKE_COMMAND}" "-DCPACK=${CMAKE_CPACK_COMMAND}"
        "-DCONFIG=${PROJECT_BINARY_DIR}/CPackConfig.cmake" "-DDIR=${PROJECT_BINARY_DIR}/zip_check"
        "-DEXPECTED=${tools_zip_expected}" "-DWINDRES=${CMAKE_RC_COMPILER}" -DICONS=script_view
        "-DNOTICE_SECTIONS=${tools_notice_sections}"
        -P "${PROJECT_SOURCE_DIR}/cmake/check_zip.cmake")
    set_tests_properties(package.zip_contents PROPERTIES LABELS package)
  endif()
else()
  set(tools_doc_dir "share/doc/${CPACK_PACKAGE_NAME}")
  # The copyright file is LICENSE in Debian's machine-readable form: the
  # holders from its copyright line, the text after it indented, a blank
  # line written as " .".
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/LICENSE")
  file(READ "${PROJECT_SOURCE_DIR}/LICENSE" tools_licence)
  if(NOT tools_licence MATCHES "\nCopyright \\(c\\) ([^\n]+)\n\n(.+[^\n])\n*$")
    message(FATAL_ERROR "LICENSE: no copyright line followed by the licence text")
  endif()
  set(tools_copyright "${CMAKE_MATCH_1}")
  string(REPLACE "\n\n" "\n.\n" tools_licence_text "${CMAKE_MATCH_2}")
  string(REPLACE "\n" "\n " tools_licence_text " ${tools_licence_text}")
  configure_file("${PROJECT_SOURCE_DIR}/cmake/debian/copyright.in"
    "${PROJECT_BINARY_DIR}/copyright" @ONLY)
  install(FILES "${PROJECT_BINARY_DIR}/copyright" DESTINATION "${tools_doc_dir}")
  install(FILES "${PROJECT_SOURCE_DIR}/cmake/debian/lintian-overrides"
    DESTINATION share/lintian/overrides RENAME "${CPACK_PACKAGE_NAME}")
  # Debian wants the changelog and the manual pages compressed, with no name
  # or time stamp in the gzip header, so that a rebuild gives the same bytes.
  find_program(TOOLS_GZIP gzip REQUIRED)
  set(tools_gzip_dir "${PROJECT_BINARY_DIR}/gzipped")
  set(tools_gzip_sources "${PROJECT_SOURCE_DIR}/cmake/debian/changelog")
  foreach(program IN ITEMS volume_table line_count point_count script_view)
    if(TARGET ${program})
      get_target_property(program_dir ${program} SOURCE_DIR)
      list(APPEND tools_gzip_sources "${program_dir}/${program}.1")
    endif()
  endforeach()
  set(tools_gzipped "")
  foreach(source IN LISTS tools_gzip_sources)
    get_filename_component(name "${source}" NAME)
    add_custom_command(OUTPUT "${tools_gzip_dir}/${name}.gz"
      COMMAND "${CMAKE_COMMAND}" -E copy "${source}" "${tools_gzip_dir}/${name}"
      COMMAND "${TOOLS_GZIP}" -9nf "${tools_gzip_dir}/${name}"
      DEPENDS "${source}" VERBATIM)
    list(APPEND tools_gzipped "${tools_gzip_dir}/${name}.gz")
  endforeach()
  add_custom_target(tools_docs ALL DEPENDS ${tools_gzipped})
  list(POP_FRONT tools_gzipped tools_changelog)
  install(FILES "${tools_changelog}" DESTINATION "${tools_doc_dir}")
  install(FILES ${tools_gzipped} DESTINATION share/man/man1)

  if(TOOLS_STATIC_RUNTIME)
    # The archives the console programs have linked in (tools_console_program),
    # whose source packages the .deb names in Built-Using.
    set(CPACK_TOOLS_STATIC_ARCHIVES libc.a libstdc++.a libgcc.a libgcc_eh.a)
    set(CPACK_TOOLS_CXX_COMPILER "${CMAKE_CXX_COMPILER}")
    set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_SOURCE_DIR}/cmake/debian/built_using.cmake")
  endif()

  # The package workflow checks its result the way Debian checks packages;
  # the dependency script installs lintian for CI.
  set(CPACK_POST_BUILD_SCRIPTS "${PROJECT_SOURCE_DIR}/cmake/check_deb.cmake")
  find_program(TOOLS_LINTIAN lintian)
  if(TOOLS_LINTIAN)
    set(CPACK_TOOLS_LINTIAN "${TOOLS_LINTIAN}")
  else()
    message(STATUS "lintian not found: the .deb will not be checked by it")
  endif()
endif()

include(CPack)
