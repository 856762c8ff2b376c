# Compiler settings shared by every target of the project, collected in one
# interface target so that each program only has to link `project_options`.
add_library(project_options INTERFACE)

if(MSVC)
  target_compile_options(project_options INTERFACE /W4 /permissive-)
  if(TOOLS_WARNINGS_AS_ERRORS)
    target_compile_options(project_options INTERFACE /WX)
  endif()
else()
  target_compile_options(project_options INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual)
  if(TOOLS_WARNINGS_AS_ERRORS)
    target_compile_options(project_options INTERFACE -Werror)
  endif()
endif()

# A 32-bit C library on Linux opens and seeks with 32-bit offsets unless told
# otherwise: a result file past 2 GiB would not even open. Set for the whole
# tree, GoogleTest's sources too, so that every file agrees on off_t; on a
# 64-bit system it changes nothing.
if(NOT WIN32)
  add_compile_definitions(_FILE_OFFSET_BITS=64)
endif()

if(TOOLS_SANITIZE)
  target_compile_options(project_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(project_options INTERFACE -fsanitize=address,undefined)
endif()

# The same source gives the same programs and packages, whoever builds them,
# where and when: every time stamp in them (the Windows linker's, the
# viewer's resources', the packages') is SOURCE_DATE_EPOCH, as the
# reproducible-builds practice names it, or else the time of the commit
# checked out (in a source from `git archive`, every file's time is that),
# and the source folder is mapped away from the paths compiled in.
set(TOOLS_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
if(TOOLS_SOURCE_DATE_EPOCH STREQUAL "")
  execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
    OUTPUT_VARIABLE TOOLS_SOURCE_DATE_EPOCH ERROR_QUIET)
  execute_process(COMMAND git rev-parse --absolute-git-dir WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
    OUTPUT_VARIABLE git_dir OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  string(REGEX MATCH "^[0-9]+" TOOLS_SOURCE_DATE_EPOCH "${TOOLS_SOURCE_DATE_EPOCH}")
  if(NOT TOOLS_SOURCE_DATE_EPOCH)
    file(TIMESTAMP "${CMAKE_CURRENT_LIST_FILE}" TOOLS_SOURCE_DATE_EPOCH "%s" UTC)
  elseif(EXISTS "${git_dir}/logs/HEAD")
    # Configured again when another commit is checked out.
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${git_dir}/logs/HEAD")
  endif()
endif()
if(NOT MSVC)
  add_compile_options("-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=")
endif()
if(MINGW)
  # Binutils write it into the header of each program instead of the time
  # now: the linker, and strip as the programs are installed (before every
  # other rule to install).
  set(CMAKE_CXX_LINKER_LAUNCHER "${CMAKE_COMMAND}" -E env "SOURCE_DATE_EPOCH=${TOOLS_SOURCE_DATE_EPOCH}")
  install(CODE "set(ENV{SOURCE_DATE_EPOCH} ${TOOLS_SOURCE_DATE_EPOCH})")
endif()
