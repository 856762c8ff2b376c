# The programs that ship, in one list (the global property TOOLS_PROGRAMS)
# that the packages and the Windows tests go through:
#
#   tools_program(<target> <description> [CONSOLE] [ICON <file.ico>])
#
# A console program links its runtime statically when asked: start-up then
# costs no dynamic loading at all (these programs start, read a file and
# end, so loading is much of their time), and a Windows build runs with no
# DLLs beside it. They use no part of the C library that needs shared
# objects at run time (no name service, no iconv, no locale files). On
# Windows each also carries the application manifest that all of them
# share, a version resource with the description (without a version, an
# installer that copies by version cannot tell an older file from a newer
# one) and, where given, its icon.

include(GNUInstallDirs)
# The project's version in the four numbers of a version resource, which
# installers compare.
string(REGEX REPLACE "^([0-9]+\\.[0-9]+\\.[0-9]+)$" "\\1.0" TOOLS_FILE_VERSION "${PROJECT_VERSION}")
file(STRINGS "${PROJECT_SOURCE_DIR}/LICENSE" TOOLS_COPYRIGHT REGEX "^Copyright " LIMIT_COUNT 1)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/LICENSE")
# README.md's title.
set(TOOLS_RC_PRODUCT "Tamber hand-off tools")

function(tools_program target description)
  cmake_parse_arguments(PARSE_ARGV 2 arg "CONSOLE" "ICON" "")
  set_property(GLOBAL APPEND PROPERTY TOOLS_PROGRAMS ${target})
  target_link_libraries(${target} PRIVATE project_options)
  if(arg_CONSOLE AND TOOLS_STATIC_RUNTIME AND NOT MSVC)
    target_link_options(${target} PRIVATE -static)
  endif()
  install(TARGETS ${target} RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
  if(NOT WIN32)
    return()
  endif()
  # A resource script writes a quote inside a string as two.
  set(TOOLS_RC_NAME "${target}")
  string(REPLACE "\"" "\"\"" TOOLS_RC_DESCRIPTION "${description}")
  string(REPLACE "\"" "\"\"" TOOLS_RC_COPYRIGHT "${TOOLS_COPYRIGHT}")
  set(TOOLS_RC_MANIFEST "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/windows/programs.manifest")
  string(REPLACE "." "," TOOLS_RC_VERSION "${TOOLS_FILE_VERSION}")
  set(TOOLS_RC_ICON "")
  if(arg_ICON)
    # Qt's Windows platform plugin takes the icon of this name for the
    # window class, so the window has it even before Qt sets its own.
    set(TOOLS_RC_ICON "IDI_ICON1 ICON \"${arg_ICON}\"\n")
  endif()
  set(rc "${CMAKE_CURRENT_BINARY_DIR}/${target}.rc")
  configure_file("${CMAKE_CURRENT_FUNCTION_LIST_DIR}/windows/program.rc.in" "${rc}" @ONLY)
  target_sources(${target} PRIVATE "${rc}")
  # The resource compiler's own output does not list the files the script
  # names, so a changed manifest or icon would not rebuild it.
  set_property(SOURCE "${rc}" APPEND PROPERTY OBJECT_DEPENDS "${TOOLS_RC_MANIFEST}" ${arg_ICON})
  if(MSVC)
    # MSVC's linker would embed a manifest of its own beside ours.
    target_link_options(${target} PRIVATE /MANIFEST:NO)
  endif()
endfunction()
