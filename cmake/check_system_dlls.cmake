# Fails unless the Windows executable EXE imports only DLLs that every
# Windows installation has, so that it runs with nothing beside it.
#
#   cmake -DOBJDUMP=<objdump for PE files> -DEXE=<file.exe> -P check_system_dlls.cmake

cmake_minimum_required(VERSION 3.25)

# Windows' own DLLs that a program may import (the second line: those that
# the viewer's Qt uses for windows, themes, input methods and sessions); the
# MinGW runtime (libstdc++-6.dll, libgcc_s_seh-1.dll, libwinpthread-1.dll)
# and Qt's own DLLs are not among them.
set(system_dll_regex
  "^(kernel32|ntdll|msvcrt|ucrtbase|advapi32|user32|gdi32|shell32|ole32|oleaut32|ws2_32|bcrypt|crypt32|secur32|shlwapi|version|userenv|dbghelp\
|dwmapi|imm32|netapi32|uxtheme|winmm|wtsapi32)\\.dll$|^api-ms-win-[a-z0-9-]+\\.dll$")

execute_process(COMMAND "${OBJDUMP}" -p "${EXE}"
  OUTPUT_VARIABLE dump ERROR_VARIABLE error RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${EXE} failed (${status}): ${error}")
endif()
string(REGEX MATCHALL "DLL Name: [^\r\n]+" entries "${dump}")
if(NOT entries)
  # Every PE program imports something; none found means the dump was not
  # read as one, and the check would pass for nothing.
  message(FATAL_ERROR "no DLL imports found in the dump of ${EXE}")
endif()

set(names "")
set(foreign "")
foreach(entry IN LISTS entries)
  string(REGEX REPLACE "^DLL Name: *" "" name "${entry}")
  string(STRIP "${name}" name)
  list(APPEND names "${name}")
  string(TOLOWER "${name}" lower)
  if(NOT lower MATCHES "${system_dll_regex}")
    list(APPEND foreign "${name}")
  endif()
endforeach()
list(JOIN names ", " shown)
message(STATUS "${EXE} imports ${shown}")
if(foreign)
  # One unwrapped line per DLL, which the check of this check matches.
  foreach(name IN LISTS foreign)
    message(NOTICE "not a Windows system DLL: ${name}")
  endforeach()
  message(FATAL_ERROR "${EXE} needs DLLs that Windows does not provide")
endif()
