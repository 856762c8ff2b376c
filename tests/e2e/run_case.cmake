# Runs one end-to-end case of a case table: a fresh working directory, the
# given files, the program started there with no arguments, then every
# expected file compared byte for byte, with standard output, standard error
# and the exit status. Needs no shell, so it runs the same for a native build
# and for Windows executables under an emulator.
#
#   cmake -DCASES=<table> -DCASE=<name> -DPROGRAM=<exe> [-DEMULATOR=a|b]
#         [-DTARGET_WINDOWS=ON] [-DLAUNCHER=<e2e_launch>] -DWORK_ROOT=<dir>
#         -P run_case.cmake

cmake_minimum_required(VERSION 3.25)
set(E2E_DIR "${CMAKE_CURRENT_LIST_DIR}")
string(REPLACE "|" ";" emulator "${EMULATOR}")
include("${E2E_DIR}/fault_words.cmake")

# Shows bytes, given in hex, so that a difference in line ends or trailing
# blanks is visible.
function(visible hex out)
  set(text "")
  string(LENGTH "${hex}" length)
  # A few kilobytes show any difference; a megabyte would bury it.
  set(shown 4096)
  if(length GREATER shown)
    string(SUBSTRING "${hex}" 0 ${shown} hex)
    math(EXPR more "(${length} - ${shown}) / 2")
    set(length ${shown})
  endif()
  set(i 0)
  while(i LESS length)
    string(SUBSTRING "${hex}" ${i} 2 byte)
    math(EXPR code "0x${byte}")
    if(code EQUAL 10)
      string(APPEND text "<LF>\n    ")
    elseif(code EQUAL 13)
      string(APPEND text "<CR>")
    elseif(code EQUAL 9)
      string(APPEND text "<TAB>")
    elseif(code LESS 32 OR code GREATER 126)
      string(APPEND text "<${byte}>")
    else()
      string(ASCII ${code} char)
      string(APPEND text "${char}")
    endif()
    math(EXPR i "${i} + 2")
  endwhile()
  if(DEFINED more)
    string(APPEND text "... and ${more} bytes more")
  endif()
  set(${out} "    ${text}" PARENT_SCOPE)
endfunction()

# Compares bytes given in hex; file(READ) without HEX would drop carriage
# returns.
function(expect_same what expected_hex actual_hex)
  if(NOT expected_hex STREQUAL actual_hex)
    visible("${expected_hex}" e)
    visible("${actual_hex}" a)
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
  set(program "${PROGRAM}")
  e2e_fault_place(dir program)
  file(REMOVE_RECURSE "${dir}")
  file(MAKE_DIRECTORY "${dir}")
  # "@WINDIR@" is the working directory with backslashes, as a Windows
  # caller would spell it after a drive letter.
  string(REPLACE "/" "\\" windir "${dir}")
  foreach(name IN LISTS case_given_names)
    string(REPLACE "@DIR@" "${dir}" content "${case_given_${name}}")
    string(REPLACE "@WINDIR@" "${windir}" content "${content}")
    file(WRITE "${dir}/${name}" "${content}")
  endforeach()
  foreach(name IN LISTS case_mkdirs)
    file(MAKE_DIRECTORY "${dir}/${name}")
  endforeach()
  foreach(name IN LISTS case_symlinks)
    file(CREATE_LINK "${case_symlink_${name}}" "${dir}/${name}" SYMBOLIC)
  endforeach()
  foreach(name IN LISTS case_hardlinks)
    file(CREATE_LINK "${dir}/${case_hardlink_${name}}" "${dir}/${name}")
  endforeach()
  e2e_fault_setup("${dir}")

  e2e_fault_launch("${dir}" launch)
  if(launch)
    # The launcher is a program of the build as well: the emulator runs it,
    # and the program it starts.
    list(APPEND launch ${emulator})
  endif()
  execute_process(COMMAND ${emulator} ${launch} "${program}"
    WORKING_DIRECTORY "${dir}"
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err
    TIMEOUT 120)
  e2e_fault_restore("${dir}")

  if(TARGET_WINDOWS)
    # A Windows console writes its own line end; the hand-off files, which
    # are compared below, get no such allowance.
    string(REPLACE "\r\n" "\n" out "${out}")
    string(REPLACE "\r\n" "\n" err "${err}")
  endif()
  if(TARGET_WINDOWS)
    # Wine's own lines, when the emulator does not silence them (WINEDEBUG
    # unset): Debian's hint about the 32-bit Wine, and "0048:err:..." style
    # diagnostics. No program of ours writes a line of either form.
    # Each line is taken with the newline before it, hence the one added.
    string(PREPEND err "\n")
    string(REGEX REPLACE "\nit looks like wine32 is missing[^\n]*(\nmultiarch needs[^\n]*\n[^\n]*\n[^\n]*|\nas root, please[^\n]*)" "" err "${err}")
    string(REGEX REPLACE "\n[0-9a-f]+:(err|fixme|warn|trace):[^\n]*" "" err "${err}")
    string(SUBSTRING "${err}" 1 -1 err)
  endif()
  if(NOT status STREQUAL case_status)
    message(SEND_ERROR "exit status ${status}, expected ${case_status}")
  endif()
  string(HEX "${case_stdout}" expected_hex)
  string(HEX "${out}" actual_hex)
  expect_same("standard output" "${expected_hex}" "${actual_hex}")
  if(NOT err MATCHES "${case_stderr}")
    string(HEX "${err}" err_hex)
    visible("${err_hex}" e)
    message(SEND_ERROR "standard error does not match '${case_stderr}':\n${e}")
  endif()
  foreach(name IN LISTS case_expect_names)
    if(NOT EXISTS "${dir}/${name}" OR IS_DIRECTORY "${dir}/${name}")
      message(SEND_ERROR "${name} was not written")
      continue()
    endif()
    string(REPLACE "@DIR@" "${dir}" expected "${case_expect_${name}}")
    string(REPLACE "@WINDIR@" "${windir}" expected "${expected}")
    string(HEX "${expected}" expected_hex)
    file(READ "${dir}/${name}" actual_hex HEX)
    expect_same("${name}" "${expected_hex}" "${actual_hex}")
  endforeach()
  foreach(name IN LISTS case_absent)
    if(EXISTS "${dir}/${name}")
      message(SEND_ERROR "${name} exists, but should not")
    endif()
  endforeach()
  e2e_fault_finish("${dir}")
endfunction()

include("${CASES}")
if(NOT case_found)
  message(FATAL_ERROR "no case named '${CASE}' in ${CASES}")
endif()
