# One end-to-end case is one call:
#
#   e2e_case(<name> PROGRAM <target>
#            [GIVEN <file> <content>]...      file written into the empty working directory
#            [MKDIR <dir>]... [SYMLINK <link> <target>]...
#            [EXPECT <file> <content>]...     file that must hold exactly these bytes afterwards
#            [ABSENT <file>]...               file that must not exist afterwards
#            [STDOUT <text>] [STDERR <regex>] [STATUS <code>]
#            [LINUX_ONLY] [WINDOWS_ONLY])
#
# Contents are CMake strings, so "\n", "\r" and "\t" are the bytes themselves;
# "@DIR@" stands for the case's working directory. STDOUT and STDERR default to
# empty, STATUS to 0.
#
# The case tables are read twice: at configure time, where e2e_case registers
# a test, and by run_case.cmake, where it runs the one case it was asked for.
# This file is included from the body of each e2e_case function, where it
# sets the case_* variables. Arguments are taken from ARGV<n> and not from
# ARGN so that contents holding a ';' stay one argument.

set(case_name "${ARGV0}")
set(case_program "")
set(case_given_names "")
set(case_expect_names "")
set(case_mkdirs "")
set(case_symlinks "")
set(case_absent "")
set(case_stdout "")
set(case_stderr "^$")
set(case_status 0)
set(case_platform "any")
math(EXPR _last "${ARGC} - 1")
set(_i 1)
while(_i LESS_EQUAL _last)
  set(_word "${ARGV${_i}}")
  math(EXPR _i "${_i} + 1")
  if(_word STREQUAL "LINUX_ONLY")
    set(case_platform "linux")
  elseif(_word STREQUAL "WINDOWS_ONLY")
    set(case_platform "windows")
  elseif(_word MATCHES "^(GIVEN|EXPECT|SYMLINK)$")
    math(EXPR _j "${_i} + 1")
    set(_key "${ARGV${_i}}")
    set(_value "${ARGV${_j}}")
    math(EXPR _i "${_i} + 2")
    if(_word STREQUAL "GIVEN")
      list(APPEND case_given_names "${_key}")
      set("case_given_${_key}" "${_value}")
    elseif(_word STREQUAL "EXPECT")
      list(APPEND case_expect_names "${_key}")
      set("case_expect_${_key}" "${_value}")
    else()
      list(APPEND case_symlinks "${_key}")
      set("case_symlink_${_key}" "${_value}")
    endif()
  elseif(_word MATCHES "^(PROGRAM|MKDIR|ABSENT|STDOUT|STDERR|STATUS)$")
    set(_value "${ARGV${_i}}")
    math(EXPR _i "${_i} + 1")
    if(_word STREQUAL "PROGRAM")
      set(case_program "${_value}")
    elseif(_word STREQUAL "MKDIR")
      list(APPEND case_mkdirs "${_value}")
    elseif(_word STREQUAL "ABSENT")
      list(APPEND case_absent "${_value}")
    elseif(_word STREQUAL "STDOUT")
      set(case_stdout "${_value}")
    elseif(_word STREQUAL "STDERR")
      set(case_stderr "${_value}")
    else()
      set(case_status "${_value}")
    endif()
  else()
    message(FATAL_ERROR "e2e case ${case_name}: unknown word '${_word}'")
  endif()
endwhile()
if(case_program STREQUAL "")
  message(FATAL_ERROR "e2e case ${case_name}: no PROGRAM")
endif()
