# Where the programs of a Linux cross build run (included from the top
# CMakeLists.txt, before any program is defined). Its toolchain file names a
# user-mode emulator in TOOLS_QEMU (program and arguments). The kernel's name
# does not tell whether this machine starts such programs: containers, WSL 1
# and kernels without ia32 emulation run no i686 program on x86-64. So a
# probe built like the programs is started; where it does not start, or where
# the environment sets TOOLS_FORCE_EMULATOR to prove that path, the emulator
# becomes CMAKE_CROSSCOMPILING_EMULATOR, which CTest's listing of the unit
# tests and the end-to-end runs both use. Decided at every configure, so
# that the variable takes effect in a build folder that exists already.

if(NOT CMAKE_CROSSCOMPILING OR NOT TOOLS_QEMU OR CMAKE_CROSSCOMPILING_EMULATOR)
  return()
endif()

set(probe "${CMAKE_BINARY_DIR}/emulator_probe")
try_compile(probe_built
  SOURCE_FROM_CONTENT probe.cpp "#include <cstdio>\nint main() { return std::puts(\"ran\") < 0; }\n"
  COPY_FILE "${probe}" OUTPUT_VARIABLE probe_log)
if(NOT probe_built)
  message(FATAL_ERROR "could not build a ${CMAKE_SYSTEM_PROCESSOR} probe program:\n${probe_log}")
endif()

# Sets <out> to whether the probe, run by the command ARGN puts before it,
# printed its word, and <out>_why to what went wrong otherwise.
function(tools_probe_runs out)
  execute_process(COMMAND ${ARGN} "${probe}"
    RESULT_VARIABLE status OUTPUT_VARIABLE said ERROR_VARIABLE why)
  string(STRIP "status ${status}: ${why}" why)
  set(${out}_why "${why}" PARENT_SCOPE)
  if(status EQUAL 0 AND said STREQUAL "ran\n")
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

set(force "$ENV{TOOLS_FORCE_EMULATOR}")
if(force)
  set(reason "TOOLS_FORCE_EMULATOR is set")
else()
  tools_probe_runs(native)
  if(native)
    message(STATUS "${CMAKE_SYSTEM_PROCESSOR} programs run natively: this machine starts them")
    return()
  endif()
  set(reason "this machine does not start them")
endif()

set(qemu_arguments ${TOOLS_QEMU})
list(POP_FRONT qemu_arguments qemu_name)
find_program(TOOLS_QEMU_PROGRAM "${qemu_name}")
if(NOT TOOLS_QEMU_PROGRAM)
  message(FATAL_ERROR "${CMAKE_SYSTEM_PROCESSOR} programs need ${qemu_name}, since ${reason}: "
    "scripts/install-deps.sh installs it (Debian's qemu-user)")
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR "${TOOLS_QEMU_PROGRAM}" ${qemu_arguments})
tools_probe_runs(emulated ${CMAKE_CROSSCOMPILING_EMULATOR})
if(NOT emulated)
  message(FATAL_ERROR "${qemu_name} does not run a ${CMAKE_SYSTEM_PROCESSOR} program either "
    "(${emulated_why})")
endif()
message(STATUS "${CMAKE_SYSTEM_PROCESSOR} programs run under ${qemu_name}: ${reason}")
