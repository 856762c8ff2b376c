# Starts or stops the Wine session that a test run of a Windows cross build
# uses, so that Wine starts once per run and not once per test program:
# Debian's wineserver wrapper passes -p0, so without this every program
# starts a new server and Wine's services: about 2.8 s a test instead of 0.1 s
# here, 85 s instead of 17 s for the suite.
# With XVFB given, the session has an X server of its own, which Wine shows
# the viewer's windows on: its display goes into <prefix>.display, where
# cmake/wine_env.sh finds it. Wine's desktop takes the display it starts with,
# so every program of the session runs on it.
#
#   cmake -DACTION=start|stop -DPREFIX=<wine prefix> -DEMULATOR=<a|b|...>
#         -DWINESERVER=<wineserver> [-DXVFB=<Xvfb>] -P wine_session.cmake

cmake_minimum_required(VERSION 3.25)
string(REPLACE "|" ";" emulator "${EMULATOR}")
set(ENV{WINEPREFIX} "${PREFIX}")
set(ENV{WINEDEBUG} "-all")
set(log "${PREFIX}.log")
set(display_file "${PREFIX}.display")
set(xvfb_pid_file "${PREFIX}.xvfb-pid")

# The process is checked to be an Xvfb still: after a reboot the number of
# an interrupted run's server may belong to anything.
function(stop_xvfb)
  if(EXISTS "${xvfb_pid_file}")
    file(READ "${xvfb_pid_file}" pid)
    string(STRIP "${pid}" pid)
    set(name "")
    if(pid MATCHES "^[0-9]+$" AND EXISTS "/proc/${pid}/comm")
      file(READ "/proc/${pid}/comm" name)
    endif()
    if(name MATCHES "^Xvfb")
      execute_process(COMMAND kill "${pid}" OUTPUT_QUIET ERROR_QUIET)
    endif()
  endif()
  file(REMOVE "${display_file}" "${xvfb_pid_file}" "${display_file}.fd")
endfunction()

# Xvfb picks a free display itself and writes its number once it accepts
# clients. Wine keeps a window within the screen, so the screen must hold the
# viewer as a display at 150 % draws it: 753 x 1070.
function(start_xvfb)
  execute_process(
    COMMAND sh -c [[exec 3>"$1.fd"; "$2" -displayfd 3 -screen 0 1440x1440x24 -nolisten tcp & echo $! >"$3"]]
      sh "${display_file}" "${XVFB}" "${xvfb_pid_file}"
    OUTPUT_FILE "${log}.xvfb" ERROR_FILE "${log}.xvfb" RESULT_VARIABLE status)
  foreach(try RANGE 200)
    file(READ "${display_file}.fd" number)
    string(STRIP "${number}" number)
    if(number MATCHES "^[0-9]+$")
      file(WRITE "${display_file}" ":${number}")
      return()
    endif()
    execute_process(COMMAND sleep 0.05)
  endforeach()
  file(READ "${log}.xvfb" text)
  message(FATAL_ERROR "Xvfb did not start (${status}):\n${text}")
endfunction()

if(ACTION STREQUAL "start")
  # A server left by an interrupted run may have been started without -p;
  # the prefix belongs to this build, so any server on it is ours.
  execute_process(COMMAND "${WINESERVER}" -k OUTPUT_QUIET ERROR_QUIET)
  execute_process(COMMAND "${WINESERVER}" -w OUTPUT_QUIET ERROR_QUIET)
  stop_xvfb()
  if(XVFB)
    start_xvfb()
  endif()
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
  # A crashing program would otherwise wait in Wine's crash dialog on the
  # display until its test times out.
  execute_process(COMMAND ${emulator} reg add "HKCU\\Software\\Wine\\WineDbg"
      /v ShowCrashDialog /t REG_DWORD /d 0 /f
    OUTPUT_FILE "${log}" ERROR_FILE "${log}" TIMEOUT 60)
elseif(ACTION STREQUAL "stop")
  # Nothing to stop after `ctest -N`, which starts no session.
  execute_process(COMMAND "${WINESERVER}" -k OUTPUT_QUIET ERROR_QUIET)
  stop_xvfb()
else()
  message(FATAL_ERROR "ACTION must be start or stop, not '${ACTION}'")
endif()
