# Cross-compiles for 64-bit Windows with MinGW-w64 (GCC, posix threads) and runs the resulting
# programs under Wine, so that ctest and gtest_discover_tests work as on a Windows machine.
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-toolchain.cmake \
#         [-DQV_WIN_DEPS_PREFIX=<prefix made by scripts/windows-deps.sh>]
# Tests need the Wine prefix that scripts/wine-env.sh prepares; source it before running ctest.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QV_MINGW_TRIPLET x86_64-w64-mingw32)
# The posix flavour gives std::thread and std::mutex through winpthread; the win32 flavour has none
# with GCC 12.
set(CMAKE_C_COMPILER ${QV_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QV_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QV_MINGW_TRIPLET}-windres)

# The default sits beside the source tree that holds this file, not beside CMAKE_SOURCE_DIR, so
# that the dependencies' own builds and every try_compile find the same prefix.
get_filename_component(_qv_default_prefix "${CMAKE_CURRENT_LIST_DIR}/../build-win-deps/prefix" ABSOLUTE)
set(QV_WIN_DEPS_PREFIX "${_qv_default_prefix}" CACHE PATH
    "Prefix holding the cross-built dependencies (scripts/windows-deps.sh)")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QV_WIN_DEPS_PREFIX)

# Libraries and headers come only from the prefix and the compiler's own sysroot; build tools
# (nasm, the emulator) only from the host.
set(CMAKE_FIND_ROOT_PATH "${QV_WIN_DEPS_PREFIX}" /usr/${QV_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything is linked statically so that an executable needs no DLL beyond those of Windows:
# libgcc, libstdc++ and winpthread included.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(BUILD_SHARED_LIBS OFF CACHE BOOL "Build shared libraries")

# Debian's wine wrapper starts /usr/lib/wine/wine64 itself when no 32-bit loader is installed;
# wine64 is not on PATH there.
find_program(QV_WINE NAMES wine wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH
             DOC "Wine loader that runs the test programs")
if(QV_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${QV_WINE}")
endif()

# gtest_discover_tests lists a program's tests when ctest starts rather than after each link, so
# that building never starts Wine and only the test run needs scripts/wine-env.sh.
if(NOT DEFINED CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE)
  set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
endif()
