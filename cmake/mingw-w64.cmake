# Cross-builds for Windows with Debian's mingw-w64 (the "posix" thread model,
# which has std::thread and std::mutex):
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
#
# x86_64 by default; -DTALLYKEY_MINGW_ARCH=i686 builds 32-bit programs instead.
# Everything is linked statically, so that the programs need no DLL beyond
# Windows' own.
set(TALLYKEY_MINGW_ARCH x86_64 CACHE STRING "Target processor: x86_64 or i686")
set_property(CACHE TALLYKEY_MINGW_ARCH PROPERTY STRINGS x86_64 i686)
if(NOT TALLYKEY_MINGW_ARCH MATCHES "^(x86_64|i686)$")
  message(FATAL_ERROR "TALLYKEY_MINGW_ARCH must be x86_64 or i686, not ${TALLYKEY_MINGW_ARCH}")
endif()
# try_compile projects read the toolchain file again and need the choice too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TALLYKEY_MINGW_ARCH)

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${TALLYKEY_MINGW_ARCH})
set(TALLYKEY_MINGW_TRIPLE ${TALLYKEY_MINGW_ARCH}-w64-mingw32)

set(CMAKE_C_COMPILER ${TALLYKEY_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TALLYKEY_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TALLYKEY_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TALLYKEY_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static C and C++ runtimes and winpthreads.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test programs (and gtest's test discovery) run under Wine, through a wrapper
# that gives the build its own Wine prefix and a time limit.
get_filename_component(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh ABSOLUTE)
