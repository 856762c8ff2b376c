# Cross build for 64-bit Windows from Debian or Ubuntu, with the mingw-w64
# compilers of the posix thread model (GCC 12's win32 model has no
# std::thread or std::mutex).
# The executables run under Wine, which CTest uses as the emulator.
#
#   cmake --preset windows
#   cmake -S . -B build/win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLS_MINGW_TRIPLET x86_64-w64-mingw32)

find_program(CMAKE_C_COMPILER NAMES ${TOOLS_MINGW_TRIPLET}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${TOOLS_MINGW_TRIPLET}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${TOOLS_MINGW_TRIPLET}-windres REQUIRED)

# Libraries, headers and packages come from the Windows sysroot only, so a
# Linux library of the same name is never linked by mistake; programs (the
# code generators, Wine) are the host's. Appended, so that
# -DCMAKE_FIND_ROOT_PATH=<a Qt built for MinGW> adds a root beside it.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${TOOLS_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The static Qt for Windows that scripts/build-windows-qt.sh builds, when it
# has: script_view is built against it. The script names its folder (which
# depends on the Qt source and the compiler), so both agree on it;
# -DTOOLS_WINDOWS_QT_PREFIX=<folder> names another.
if(NOT TOOLS_WINDOWS_QT_PREFIX)
  execute_process(
    COMMAND "${CMAKE_CURRENT_LIST_DIR}/../scripts/build-windows-qt.sh" --print-prefix
    OUTPUT_VARIABLE TOOLS_WINDOWS_QT_PREFIX OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(TOOLS_WINDOWS_QT_PREFIX AND IS_DIRECTORY "${TOOLS_WINDOWS_QT_PREFIX}/lib/cmake/Qt5")
  list(APPEND CMAKE_FIND_ROOT_PATH "${TOOLS_WINDOWS_QT_PREFIX}")
  list(APPEND CMAKE_PREFIX_PATH "${TOOLS_WINDOWS_QT_PREFIX}")
endif()

# Debian's `wine` runs 64-bit programs when wine64 is installed (there is no
# `wine64` on the PATH there); other systems may only have `wine64`.
find_program(TOOLS_WINE NAMES wine wine64 DOC "Wine, to run the Windows executables on this host")
if(TOOLS_WINE)
  # A Wine prefix of this build's own, so that test runs depend on no
  # ~/.wine, and a CI machine starts from nothing.
  if(NOT DEFINED TOOLS_WINEPREFIX)
    set(TOOLS_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
  endif()
  # The settings travel with the emulator rather than as test properties:
  # CTest runs the unit test programs to list their cases before any test
  # starts, and those runs see no test's ENVIRONMENT. wine_env.sh also puts
  # Wine on the X display of the test run's session, if it has one.
  set(CMAKE_CROSSCOMPILING_EMULATOR
    sh "${CMAKE_CURRENT_LIST_DIR}/wine_env.sh" "${TOOLS_WINEPREFIX}" "${TOOLS_WINE}")
endif()
