# Runs one end-to-end case of a case table: a fresh working directory, the
# given files, the program started there with no arguments, then every
# expected file compared byte for byte, with standard output, standard error
# and the exit status. Needs no shell, so it runs the same for a native build
# and for Windows executables under an emulator.
#
#   cmake -DCASES=<table> -DCASE=<name> -DPROGRAM=<exe> [-DEMULATOR=a|b]
#         [-DTARGET_WINDOWS=ON] -DWORK_ROOT=<dir> -P run_case.cmake

cmake_minimum_required(VERSION 3.25)
set(E2E_DIR "${CMAKE_CURRENT_LIST_DIR}")
string(REPLACE "|" ";" emulator "${EMULATOR}")

# Shows bytes so that a difference in line ends or trailing blanks is visible.
function(visible text out)
  string(REPLACE "\r" "<CR>" text "${text}")
  string(REPLACE "\t" "<TAB>" text "${text}")
  string(REPLACE "\n" "<LF>\n    " text "${text}")
  set(${out} "    ${text}" PARENT_SCOPE)
endfunction()

function(expect_same what expected actual)
  string(HEX "${expected}" expected_hex)
  string(HEX "${actual}" actual_hex)
  if(NOT expected_hex STREQUAL actual_hex)
    visible("${expected}" e)
    visible("${actual}" a)
    message(SEND_ERROR "${what} differs.\n  expected:\n${e}\n  actual:\n${a}")
  endif()
endfunction()

function(e2e_case)
  include("${E2E_DIR}/parse_case.cmake")
  if(NOT case_name STREQUAL CASE)
    return()
  endif()
  set(case_found TRUE PARENT_SCOPE)

  set(dir "${WORK_ROOT}/${case_name}")
  file(REMOVE_RECURSE "${dir}")
  file(MAKE_DIRECTORY "${dir}")
  foreach(name IN LISTS case_given_names)
    string(REPLACE "@DIR@" "${dir}" content "${case_given_${name}}")
    file(WRITE "${dir}/${name}" "${content}")
  endforeach()
  foreach(name IN LISTS case_mkdirs)
    file(MAKE_DIRECTORY "${dir}/${name}")
  endforeach()
  foreach(name IN LISTS case_symlinks)
    file(CREATE_LINK "${case_symlink_${name}}" "${dir}/${name}" SYMBOLIC)
  endforeach()

  execute_process(COMMAND ${emulator} "${PROGRAM}"
    WORKING_DIRECTORY "${dir}"
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err
    TIMEOUT 120)

  if(TARGET_WINDOWS)
    # A Windows console writes its own line end; the hand-off files, which
    # are compared below, get no such allowance.
    string(REPLACE "\r\n" "\n" out "${out}")
    string(REPLACE "\r\n" "\n" err "${err}")
  endif()
  if(NOT status STREQUAL case_status)
    message(SEND_ERROR "exit status ${status}, expected ${case_status}")
  endif()
  expect_same("standard output" "${case_stdout}" "${out}")
  if(NOT err MATCHES "${case_stderr}")
    visible("${err}" e)
    message(SEND_ERROR "standard error does not match '${case_stderr}':\n${e}")
  endif()
  foreach(name IN LISTS case_expect_names)
    if(NOT EXISTS "${dir}/${name}" OR IS_DIRECTORY "${dir}/${name}")
      message(SEND_ERROR "${name} was not written")
      continue()
    endif()
    string(REPLACE "@DIR@" "${dir}" expected "${case_expect_${name}}")
    file(READ "${dir}/${name}" actual)
    expect_same("${name}" "${expected}" "${actual}")
  endforeach()
  foreach(name IN LISTS case_absent)
    if(EXISTS "${dir}/${name}")
      message(SEND_ERROR "${name} exists, but should not")
    endif()
  endforeach()
endfunction()

include("${CASES}")
if(NOT case_found)
  message(FATAL_ERROR "no case named '${CASE}' in ${CASES}")
endif()
