# Tests and test-run settings of a Windows cross build (included from
# tests/CMakeLists.txt): the programs must run with no runtime DLLs beside
# them, and Wine runs as one session for the whole test run.

# Every program that ships (the viewer when a Qt for Windows was found),
# linked as statically as the console programs are.
get_property(tools_static_programs GLOBAL PROPERTY TOOLS_PROGRAMS)

if(NOT CMAKE_OBJDUMP)
  message(FATAL_ERROR "no objdump for Windows executables: the static-runtime checks need one")
endif()
foreach(program IN LISTS tools_static_programs)
  add_test(NAME "static_runtime.${program}"
    COMMAND "${CMAKE_COMMAND}" "-DOBJDUMP=${CMAKE_OBJDUMP}" "-DEXE=$<TARGET_FILE:${program}>"
      -P "${PROJECT_SOURCE_DIR}/cmake/check_system_dlls.cmake")
  set_tests_properties("static_runtime.${program}" PROPERTIES LABELS "static_runtime;${program}")
endforeach()

# The same program linked the default way needs the MinGW C++ runtime DLL;
# the check has to say so, or it could not tell a static build from another.
add_executable(volume_table_dynamic_probe "${PROJECT_SOURCE_DIR}/volume_table/main.cpp")
target_link_libraries(volume_table_dynamic_probe PRIVATE volume_table_core project_options)
add_test(NAME static_runtime.check_rejects_a_dynamic_build
  COMMAND "${CMAKE_COMMAND}" "-DOBJDUMP=${CMAKE_OBJDUMP}"
    "-DEXE=$<TARGET_FILE:volume_table_dynamic_probe>"
    -P "${PROJECT_SOURCE_DIR}/cmake/check_system_dlls.cmake")
# Matching the message, and not just a failure, so that a broken script
# does not pass as a rejection.
set_tests_properties(static_runtime.check_rejects_a_dynamic_build PROPERTIES
  LABELS static_runtime
  PASS_REGULAR_EXPRESSION "not a Windows system DLL: libstdc\\+\\+-6\\.dll\n")

# Each program's version as Explorer and installers read it, through
# GetFileVersionInfoW under Wine: the project's version, in the fixed numbers
# that installers compare and in the strings that people read.
# cmake/check_exe_resources.cmake, which the .zip check runs on every program,
# must fail on one that has no resources.
add_executable(file_version "${PROJECT_SOURCE_DIR}/tests/e2e/file_version.cpp")
target_link_libraries(file_version PRIVATE version project_options)
target_link_options(file_version PRIVATE -static)
string(REPLACE "." "\\." fixed "${TOOLS_FILE_VERSION}")
string(REPLACE "." "\\." version "${PROJECT_VERSION}")
foreach(program IN LISTS tools_static_programs)
  add_test(NAME "version_resource.${program}" COMMAND file_version "$<TARGET_FILE:${program}>")
  set_tests_properties("version_resource.${program}" PROPERTIES
    LABELS "version_resource;${program}"
    PASS_REGULAR_EXPRESSION "^fixed file version: ${fixed}\r?\nfixed product version: ${fixed}\r?\n\
FileVersion: ${version}\r?\nProductVersion: ${version}\r?\nOriginalFilename: ${program}\\.exe\r?\n$")
endforeach()
add_test(NAME version_resource.check_rejects_a_bare_program
  COMMAND "${CMAKE_COMMAND}" "-DWINDRES=${CMAKE_RC_COMPILER}"
    "-DEXE=$<TARGET_FILE:volume_table_dynamic_probe>"
    -P "${PROJECT_SOURCE_DIR}/cmake/check_exe_resources.cmake")
set_tests_properties(version_resource.check_rejects_a_bare_program PROPERTIES
  LABELS version_resource
  PASS_REGULAR_EXPRESSION "volume_table_dynamic_probe\\.exe has no application manifest")

# Wine gives each program the ANSI code page of its own Unix locale, which
# cmake/wine_env.sh takes from TOOLS_WINE_LANG: tests run with this
# environment see code page 932, as on a Japanese Windows, while the Wine
# session and every other test keep 1252. scripts/install-deps.sh generates
# the locale.
set(tools_cp932_environment "TOOLS_WINE_LANG=ja_JP.UTF-8")

# One Wine session around the whole CTest run, started before CTest lists
# the unit tests' cases (which already runs them under Wine) and stopped
# after the last test. A fixture test could not do this: the listing comes
# before any test, and the end-to-end tests live in a directory whose tests
# this one cannot give properties to.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  message(WARNING "no emulator (Wine) for the Windows programs: only the static-runtime "
    "checks can pass on this host")
elseif(TOOLS_WINE)
  get_filename_component(wine_dir "${TOOLS_WINE}" DIRECTORY)
  find_program(TOOLS_WINESERVER NAMES wineserver wineserver64 HINTS "${wine_dir}" REQUIRED)
  string(REPLACE ";" "|" wine_emulator "${CMAKE_CROSSCOMPILING_EMULATOR}")
  # The viewer's tests need an X server for Wine's windows.
  set(xvfb "")
  if(TARGET script_view)
    find_program(TOOLS_XVFB Xvfb REQUIRED)
    set(xvfb "${TOOLS_XVFB}")
  endif()
  string(CONCAT wine_session_args
    "\"-DPREFIX=${TOOLS_WINEPREFIX}\" \"-DEMULATOR=${wine_emulator}\""
    " \"-DWINESERVER=${TOOLS_WINESERVER}\" \"-DXVFB=${xvfb}\""
    " -P \"${PROJECT_SOURCE_DIR}/cmake/wine_session.cmake\"")
  file(WRITE "${CMAKE_BINARY_DIR}/CTestCustom.cmake"
    "# Written by cmake/windows_tests.cmake.\n"
    "set(CTEST_CUSTOM_PRE_TEST [==[\"${CMAKE_COMMAND}\" -DACTION=start ${wine_session_args}]==])\n"
    "set(CTEST_CUSTOM_POST_TEST [==[\"${CMAKE_COMMAND}\" -DACTION=stop ${wine_session_args}]==])\n")
endif()
