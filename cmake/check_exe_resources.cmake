# Fails unless the Windows executable EXE carries what Windows and installers
# read from it: the application manifest under ID 1 (the one Windows reads as
# it starts a program), a version resource and, with ICON set, an icon.
#
#   cmake -DWINDRES=<windres> -DEXE=<file.exe> [-DICON=ON] -P check_exe_resources.cmake

cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND "${WINDRES}" -i "${EXE}" -O rc
  OUTPUT_VARIABLE rc ERROR_VARIABLE error RESULT_VARIABLE status)
# windres fails on a program without any resource; that is a program that
# lacks them all.
if(NOT status EQUAL 0 AND NOT error MATCHES "no resource section")
  message(FATAL_ERROR "${WINDRES} -i ${EXE} failed (${status}): ${error}")
endif()
get_filename_component(name "${EXE}" NAME)
set(missing "")
# windres names each resource in a comment before it: "/* Type: version".
if(NOT rc MATCHES "/\\* Type: 24\n\n   Name: 1\\.  \\*/")
  list(APPEND missing "application manifest")
endif()
if(NOT rc MATCHES "/\\* Type: version\n")
  list(APPEND missing "version resource")
endif()
if(ICON AND NOT rc MATCHES "/\\* Type: group icon\n")
  list(APPEND missing "icon")
endif()
if(missing)
  list(JOIN missing ", " shown)
  message(FATAL_ERROR "${name} has no ${shown}")
endif()
set(found "manifest and version")
if(ICON)
  set(found "manifest, version and icon")
endif()
message(STATUS "${name}: ${found}")
