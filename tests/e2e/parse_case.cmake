# One end-to-end case is one call:
#
#   e2e_case(<name> PROGRAM <target>
#            [GIVEN <file> <content>]...      file written into the empty working directory
#            [MKDIR <dir>]... [SYMLINK <link> <target>]... [HARDLINK <link> <file>]...
#            [EXPECT <file> <content>]...     file that must hold exactly these bytes afterwards
#            [ABSENT <file>]...               file that must not exist afterwards
#            [STDOUT <text>] [STDERR <regex>] [STATUS <code>]
#            [LINUX_ONLY] [WINDOWS_ONLY]
#            [CODE_PAGE 1252|932|any]         the ANSI code page it runs under under Wine
#            and, with LINUX_ONLY only:
#            [SPARSE <file> <bytes>]...       <file> made <bytes> long, a hole after its content
#            [APPEND <file> <content>]...     <content> added at the end of <file>, past the hole
#            [CHMOD <path> <octal>]...        mode set once the files are made; "." is the directory
#            [AS_NOBODY]                      the program run as uid and gid 65534
#            [FILE_SIZE_LIMIT <bytes>]        RLIMIT_FSIZE, SIGXFSZ ignored: writes past it get EFBIG
#            [READ_FAILS <file> <n>]          the program's n-th read(2) of <file> fails with EIO
#            [MAX_RSS_KIB <kib>]              bound on the program's peak resident set
#            [FIFO <file> <content>]...       <file> a FIFO that one writer fills once, then closes
#            [CUT_SHORT <file> <bytes> <offset>]  <file> cut to <bytes> once the program maps it
#                                             from <offset> on)
#
# Contents are CMake strings, so "\n", "\r" and "\t" are the bytes themselves;
# "@DIR@" stands for the case's working directory, "@WINDIR@" for the same
# with backslashes, for Windows spellings. STDOUT and STDERR default to
# empty, STATUS to 0.
#
# Under Wine the tables run under code page 1252, as on a Western Windows,
# and the path cases again under 932, as on a Japanese one (CMakeLists.txt):
# CODE_PAGE names the runs a case belongs to, 1252 when not given. A case
# for 932 alone is one for Windows only.
#
# The LINUX_ONLY words are served by e2e_launch (fault_words.cmake). SPARSE,
# CHMOD and then APPEND apply after GIVEN, MKDIR and the links; a SPARSE file is
# removed after the case. AS_NOBODY runs the case in a fresh directory under
# /tmp with a copy of the program, since the build tree may be out of that
# user's reach; everything the case makes there is writable by all unless
# CHMOD says otherwise. Tests run by a user other than root run AS_NOBODY
# cases as that user, whom the permissions bind already. READ_FAILS
# intercepts the system call through ptrace, on x86-64 only (elsewhere the
# case is not registered): the program gets EIO as from a failing disk.
# FIFO's writer waits for a reader, writes <content> and closes: a program
# that opens the file once reads it all, one that opens it again waits for a
# writer that is gone, and is killed after 20 seconds. A FIFO that nobody
# opened is said on standard error. CUT_SHORT stops the program once its
# mapping of <file> starts at <offset> or past it, cuts the file and lets it
# go on; a program that never maps it so far fails the case.
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
set(case_hardlinks "")
set(case_absent "")
set(case_stdout "")
set(case_stderr "^$")
set(case_status 0)
set(case_platform "any")
set(case_code_page 1252)
set(case_sparse_names "")
set(case_chmod_paths "")
set(case_as_nobody FALSE)
set(case_file_size_limit "")
set(case_read_fails_file "")
set(case_read_fails_count "")
set(case_max_rss_kib "")
set(case_fifo_names "")
set(case_append_names "")
set(case_cut_short "")
math(EXPR _last "${ARGC} - 1")
set(_i 1)
while(_i LESS_EQUAL _last)
  set(_word "${ARGV${_i}}")
  math(EXPR _i "${_i} + 1")
  if(_word STREQUAL "LINUX_ONLY")
    set(case_platform "linux")
  elseif(_word STREQUAL "WINDOWS_ONLY")
    set(case_platform "windows")
  elseif(_word MATCHES "^(GIVEN|EXPECT|SYMLINK|HARDLINK|FIFO|APPEND)$")
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
    elseif(_word STREQUAL "FIFO")
      list(APPEND case_fifo_names "${_key}")
      set("case_fifo_${_key}" "${_value}")
    elseif(_word STREQUAL "APPEND")
      list(APPEND case_append_names "${_key}")
      set("case_append_${_key}" "${_value}")
    elseif(_word STREQUAL "HARDLINK")
      list(APPEND case_hardlinks "${_key}")
      set("case_hardlink_${_key}" "${_value}")
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
  elseif(_word STREQUAL "CODE_PAGE")
    set(case_code_page "${ARGV${_i}}")
    math(EXPR _i "${_i} + 1")
    if(NOT case_code_page MATCHES "^(1252|932|any)$")
      message(FATAL_ERROR "e2e case ${case_name}: CODE_PAGE '${case_code_page}' is not 1252, 932 or any")
    endif()
  elseif(_word STREQUAL "AS_NOBODY")
    set(case_as_nobody TRUE)
  elseif(_word MATCHES "^(FILE_SIZE_LIMIT|MAX_RSS_KIB)$")
    set(_value "${ARGV${_i}}")
    math(EXPR _i "${_i} + 1")
    if(NOT _value MATCHES "^[0-9]+$")
      message(FATAL_ERROR "e2e case ${case_name}: ${_word} '${_value}' is not a number")
    endif()
    if(_word STREQUAL "FILE_SIZE_LIMIT")
      set(case_file_size_limit "${_value}")
    else()
      set(case_max_rss_kib "${_value}")
    endif()
  elseif(_word STREQUAL "CUT_SHORT")
    math(EXPR _j "${_i} + 1")
    math(EXPR _k "${_i} + 2")
    set(case_cut_short "${ARGV${_i}}" "${ARGV${_j}}" "${ARGV${_k}}")
    math(EXPR _i "${_i} + 3")
    if(NOT "${ARGV${_j}}${ARGV${_k}}" MATCHES "^[0-9]+$")
      message(FATAL_ERROR "e2e case ${case_name}: CUT_SHORT needs a size and an offset")
    endif()
  elseif(_word MATCHES "^(SPARSE|CHMOD|READ_FAILS)$")
    math(EXPR _j "${_i} + 1")
    set(_key "${ARGV${_i}}")
    set(_value "${ARGV${_j}}")
    math(EXPR _i "${_i} + 2")
    if(NOT _value MATCHES "^[0-9]+$" OR (_word STREQUAL "CHMOD" AND NOT _value MATCHES "^[0-7]+$"))
      message(FATAL_ERROR "e2e case ${case_name}: ${_word} ${_key} '${_value}' is not a number")
    endif()
    if(_word STREQUAL "SPARSE")
      list(APPEND case_sparse_names "${_key}")
      set("case_sparse_${_key}" "${_value}")
    elseif(_word STREQUAL "CHMOD")
      list(APPEND case_chmod_paths "${_key}")
      set("case_chmod_${_key}" "${_value}")
    else()
      set(case_read_fails_file "${_key}")
      set(case_read_fails_count "${_value}")
    endif()
  else()
    message(FATAL_ERROR "e2e case ${case_name}: unknown word '${_word}'")
  endif()
endwhile()
if(case_program STREQUAL "")
  message(FATAL_ERROR "e2e case ${case_name}: no PROGRAM")
endif()
set(_linux_words "${case_sparse_names}${case_chmod_paths}${case_file_size_limit}")
string(APPEND _linux_words "${case_read_fails_file}${case_max_rss_kib}${case_fifo_names}")
string(APPEND _linux_words "${case_append_names}${case_cut_short}")
if(NOT case_platform STREQUAL "linux" AND (case_as_nobody OR NOT _linux_words STREQUAL ""))
  message(FATAL_ERROR "e2e case ${case_name}: its words need LINUX_ONLY")
endif()
