# 64-bit ARM build on a Debian or Ubuntu host: clang for the aarch64 target,
# with Debian's own arm64 packages installed beside the host's (multiarch:
# libstdc++-12-dev:arm64 brings the C library and GCC's runtime,
# qtbase5-dev:arm64 Qt) and the arm64 linker (binutils-aarch64-linux-gnu);
# Qt's moc and uic are the host's. Not Debian's g++-aarch64-linux-gnu: that
# cannot be installed beside gcc-multilib, which the i686 build needs. The
# programs run under qemu-aarch64 with the same root, unless this machine
# starts them itself (cmake/cross_emulator.cmake decides): one root for
# building and running, since the emulated loader reads the host's
# /etc/ld.so.cache, which names the arm64 libraries of /usr/lib.
#
#   cmake --preset aarch64

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(TOOLS_TRIPLET aarch64-linux-gnu)
set(CMAKE_LIBRARY_ARCHITECTURE ${TOOLS_TRIPLET})
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${TOOLS_TRIPLET})
set(CMAKE_CXX_COMPILER_TARGET ${TOOLS_TRIPLET})
find_program(CMAKE_STRIP ${TOOLS_TRIPLET}-strip REQUIRED)

# Programs are the host's; libraries and packages only those of the arm64
# architecture folders, so that no host library is linked by mistake.
set(CMAKE_FIND_ROOT_PATH /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Debian ships GoogleTest for the host's architecture only: the tests build
# it from its sources (tests/CMakeLists.txt).
set(CMAKE_DISABLE_FIND_PACKAGE_GTest ON)
set(TOOLS_QEMU qemu-aarch64 -L /)
set(TOOLS_DEB_ARCHITECTURE arm64)
