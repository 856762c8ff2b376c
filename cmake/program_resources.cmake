# What a Windows program carries besides its code: the application manifest
# that all of them share, a version resource, and an icon where one is given.
# Windows and installers read these; without a version, an installer that
# copies by version cannot tell an older file from a newer one.
#
#   tools_program_resources(<target> [ICON <file.ico>])
#
# The version is the project's; the description is what README.md's table of
# programs says the program does, the product name README.md's title, and
# the copyright LICENSE's line, so that each is written in one place only.
# Elsewhere than on Windows it does nothing.

set(TOOLS_PROGRAM_MANIFEST "${CMAKE_CURRENT_LIST_DIR}/windows/programs.manifest")
# The project's version in the four numbers of a version resource, which
# installers compare.
set(TOOLS_FILE_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}")
if(PROJECT_VERSION_TWEAK STREQUAL "")
  string(APPEND TOOLS_FILE_VERSION ".0")
else()
  string(APPEND TOOLS_FILE_VERSION ".${PROJECT_VERSION_TWEAK}")
endif()

function(tools_program_resources target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "ICON" "")
  if(NOT WIN32)
    return()
  endif()
  set(readme "${PROJECT_SOURCE_DIR}/README.md")
  set(licence "${PROJECT_SOURCE_DIR}/LICENSE")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${readme}" "${licence}")
  file(READ "${readme}" text)
  if(NOT text MATCHES "^# ([^\n]+)\n.*\n\\| `${target}` \\| ([^|\n]+[^ |\n]) *\\|")
    message(FATAL_ERROR "README.md: no title, or no row for ${target} in the table of programs")
  endif()
  set(TOOLS_RC_PRODUCT "${CMAKE_MATCH_1}")
  # Explorer shows it as a name: with a capital, like the others there.
  string(SUBSTRING "${CMAKE_MATCH_2}" 0 1 first)
  string(SUBSTRING "${CMAKE_MATCH_2}" 1 -1 rest)
  string(TOUPPER "${first}" first)
  set(TOOLS_RC_DESCRIPTION "${first}${rest}")
  file(STRINGS "${licence}" TOOLS_RC_COPYRIGHT REGEX "^Copyright " LIMIT_COUNT 1)
  if(NOT TOOLS_RC_COPYRIGHT)
    message(FATAL_ERROR "LICENSE: no copyright line")
  endif()
  # A resource script writes a quote inside a string as two.
  foreach(field IN ITEMS TOOLS_RC_PRODUCT TOOLS_RC_DESCRIPTION TOOLS_RC_COPYRIGHT)
    string(REPLACE "\"" "\"\"" ${field} "${${field}}")
  endforeach()

  set(TOOLS_RC_NAME "${target}")
  set(TOOLS_RC_MANIFEST "${TOOLS_PROGRAM_MANIFEST}")
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
  set_property(SOURCE "${rc}" APPEND PROPERTY OBJECT_DEPENDS "${TOOLS_PROGRAM_MANIFEST}" ${arg_ICON})
  if(MSVC)
    # MSVC's linker would embed a manifest of its own beside ours.
    target_link_options(${target} PRIVATE /MANIFEST:NO)
  endif()
endfunction()
