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
