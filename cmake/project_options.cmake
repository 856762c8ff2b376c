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

if(TOOLS_SANITIZE)
  target_compile_options(project_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(project_options INTERFACE -fsanitize=address,undefined)
endif()

# A console program links the runtime statically when asked: start-up then
# costs no dynamic loading of libstdc++, and a Windows build runs with no
# DLLs beside it.
function(tools_console_program target)
  target_link_libraries(${target} PRIVATE project_options)
  if(TOOLS_STATIC_RUNTIME AND NOT MSVC)
    if(WIN32)
      target_link_options(${target} PRIVATE -static)
    else()
      target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc)
    endif()
  endif()
  install(TARGETS ${target} RUNTIME DESTINATION bin)
endfunction()
