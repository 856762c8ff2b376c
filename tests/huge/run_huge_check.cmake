# Runs one huge-input check: writes its input into a fresh working directory
# with make_huge_input, runs the program there with no arguments, compares
# what it wrote byte for byte, and removes the directory whatever the outcome,
# since the inputs take gigabytes.
#
#   cmake -DCHECK=<line_count|point_count|volume_table> -DHELPER=<exe>
#         -DPROGRAM=<exe> -DWORK=<dir> -DLINES=<n> [-DHEADER_LINE=<n>]
#         -P run_huge_check.cmake

cmake_minimum_required(VERSION 3.25)

foreach(required IN ITEMS CHECK HELPER PROGRAM WORK LINES)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "run_huge_check.cmake needs -D${required}=...")
  endif()
endforeach()

# Every failure path goes through here so that the input never stays behind.
function(fail text)
  file(REMOVE_RECURSE "${WORK}")
  message(FATAL_ERROR "${text}")
endfunction()

function(run_in_work what)
  execute_process(COMMAND ${ARGN}
    WORKING_DIRECTORY "${WORK}"
    RESULT_VARIABLE status
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err)
  if(NOT status STREQUAL "0")
    fail("${what} exited with '${status}'.\n  stdout: ${out}\n  stderr: ${err}")
  endif()
  if(NOT out STREQUAL "" OR NOT err STREQUAL "")
    fail("${what} printed something.\n  stdout: ${out}\n  stderr: ${err}")
  endif()
endfunction()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

if(CHECK STREQUAL "line_count" OR CHECK STREQUAL "point_count")
  if(CHECK STREQUAL "line_count")
    set(input shieldmat.tmp)
    set(output linecounts.tmp)
    set(expected "${LINES}")
  else()
    set(input runphits.bat)
    set(output dynamics_points.tmp)
    math(EXPR expected "${LINES} / 5")
  endif()
  run_in_work(make_huge_input "${HELPER}" newlines "${input}" "${LINES}")
  set(minimum_size "${LINES}")
elseif(CHECK STREQUAL "volume_table")
  set(input result.out)
  set(output sumtallyres.tmp)
  run_in_work(make_huge_input "${HELPER}" volume "${input}" "${LINES}" "${HEADER_LINE}")
  file(WRITE "${WORK}/sumtalpart.tmp" "${input}\n")
  # The header's blanks go and three come before its '#'; the rows lose
  # their leading whitespace; the seventh row is past the table.
  set(expected "   #  num    reg     volume\n")
  foreach(row IN ITEMS 1 2 3 4 5 6)
    math(EXPR region "100 + ${row}")
    string(APPEND expected "${row}   ${region}   ${row}.0000E+02\n")
  endforeach()
  math(EXPR minimum_size "2 * ${LINES}")
else()
  fail("unknown CHECK '${CHECK}'")
endif()

# A helper that wrote less than asked would make the check pass vacuously.
file(SIZE "${WORK}/${input}" size)
if(size LESS minimum_size)
  fail("${input} holds ${size} bytes, fewer than the ${minimum_size} asked for")
endif()

run_in_work("${CHECK}" "${PROGRAM}")

if(NOT EXISTS "${WORK}/${output}")
  fail("${CHECK} wrote no ${output}")
endif()
file(READ "${WORK}/${output}" actual_hex HEX)
string(HEX "${expected}" expected_hex)
if(NOT actual_hex STREQUAL expected_hex)
  file(READ "${WORK}/${output}" actual)
  fail("${output} differs.\n  expected: [${expected}]\n  actual:   [${actual}]")
endif()
file(REMOVE_RECURSE "${WORK}")
message(STATUS "${CHECK}: ${output} is exactly as expected for the ${size}-byte input")
