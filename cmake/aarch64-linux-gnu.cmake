# 64-bit ARM build on a Debian or Ubuntu host: clang for the aarch64 target,
# with Debian's arm64 cross libraries (libstdc++-12-dev-arm64-cross, which
# brings the C library and GCC's runtime) and linker
# (binutils-aarch64-linux-gnu). Not Debian's g++-aarch64-linux-gnu: that
# cannot be installed beside gcc-multilib, which the i686 build needs. The
# programs run under qemu-aarch64 with those libraries, unless this machine
# starts them itself (cmake/cross_emulator.cmake decides).
#
#   cmake --preset aarch64

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(TOOLS_TRIPLET aarch64-linux-gnu)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${TOOLS_TRIPLET})
set(CMAKE_CXX_COMPILER_TARGET ${TOOLS_TRIPLET})

# Libraries and headers from the cross folder only, so that no host library
# (GoogleTest, Qt) is linked by mistake; programs are the host's.
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLS_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Debian ships GoogleTest for the host's architecture only: the tests build
# it from its sources (tests/CMakeLists.txt).
set(CMAKE_DISABLE_FIND_PACKAGE_GTest ON)
set(TOOLS_QEMU qemu-aarch64 -L /usr/${TOOLS_TRIPLET})
