# Starts or stops the Wine session that a test run of a Windows cross build
# uses, so that Wine starts once per run and not once per test program:
# Debian's wineserver wrapper passes -p0, so without this every program
# starts a new server and Wine's services: about 2.8 s a test instead of 0.1 s
# here, 85 s instead of 17 s for the suite.
#
#   cmake -DACTION=start|stop -DPREFIX=<wine prefix> -DEMULATOR=<a|b|...>
#         -DWINESERVER=<wineserver> -P wine_session.cmake

cmake_minimum_required(VERSION 3.25)
string(REPLACE "|" ";" emulator "${EMULATOR}")
set(ENV{WINEPREFIX} "${PREFIX}")
set(ENV{WINEDEBUG} "-all")
set(ENV{DISPLAY} "")
set(log "${PREFIX}.log")

if(ACTION STREQUAL "start")
  # A server left by an interrupted run may have been started without -p;
  # the prefix belongs to this build, so any server on it is ours.
  execute_process(COMMAND "${WINESERVER}" -k OUTPUT_QUIET ERROR_QUIET)
  execute_process(COMMAND "${WINESERVER}" -w OUTPUT_QUIET ERROR_QUIET)
  # The server runs in the prefix, so that has to exist before Wine fills it.
  file(MAKE_DIRECTORY "${PREFIX}")
  # The server stays in the background holding its standard streams: they
  # must be files, or this would wait for it to end.
  execute_process(COMMAND "${WINESERVER}" -p
    OUTPUT_FILE "${log}" ERROR_FILE "${log}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    file(READ "${log}" text)
    message(FATAL_ERROR "wineserver -p failed (${status}):\n${text}")
  endif()
  # Creates the prefix on the first run and otherwise starts Wine's own
  # services, so that neither counts against the first test's time limit.
  execute_process(COMMAND ${emulator} wineboot --init
    OUTPUT_FILE "${log}" ERROR_FILE "${log}" RESULT_VARIABLE status TIMEOUT 300)
  if(NOT status EQUAL 0)
    file(READ "${log}" text)
    message(FATAL_ERROR "wineboot --init failed (${status}):\n${text}")
  endif()
elseif(ACTION STREQUAL "stop")
  # Nothing to stop after `ctest -N`, which starts no session.
  execute_process(COMMAND "${WINESERVER}" -k OUTPUT_QUIET ERROR_QUIET)
else()
  message(FATAL_ERROR "ACTION must be start or stop, not '${ACTION}'")
endif()
