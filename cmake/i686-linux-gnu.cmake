# 32-bit x86 build on a 64-bit Debian or Ubuntu host, with the multilib
# compilers (gcc-multilib, g++-multilib). The programs run natively where the
# kernel runs 32-bit programs, and under qemu-i386 with the same i386
# libraries where it does not (cmake/cross_emulator.cmake decides). It is a
# cross build also in that the host's 64-bit libraries (GoogleTest among
# them) must not be linked.
#
#   cmake --preset i686

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
# With SSE2, as every x86 processor of this century has it and as other
# i686 compilers assume it: the count's vector path is then the one built
# (Debian's -m32 alone means a plain i686 without it).
set(CMAKE_C_FLAGS_INIT "-m32 -msse2")
set(CMAKE_CXX_FLAGS_INIT "-m32 -msse2")
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
# Debian ships GoogleTest for the host's architecture only: the tests build
# it from its sources (tests/CMakeLists.txt).
set(CMAKE_DISABLE_FIND_PACKAGE_GTest ON)
set(TOOLS_QEMU qemu-i386)
