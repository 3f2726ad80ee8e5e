# Cross build for Windows with MinGW-w64 (Debian package mingw-w64). Included by the toolchain
# files of each processor, which set CMAKE_SYSTEM_PROCESSOR and TOOLCHAIN_PREFIX first.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model is not needed; prefer the win32 flavour when Debian offers both.
find_program(CMAKE_CXX_COMPILER NAMES ${TOOLCHAIN_PREFIX}-g++-win32 ${TOOLCHAIN_PREFIX}-g++ REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${TOOLCHAIN_PREFIX}-gcc-win32 ${TOOLCHAIN_PREFIX}-gcc REQUIRED)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# CTest runs the test programs under Wine through scripts/wine, which sets up what this machine
# needs for 64- and 32-bit programs (see scripts/lib/common.sh); a Windows host runs them directly.
if(NOT CMAKE_HOST_WIN32)
  set(TAV_WINE ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine CACHE FILEPATH "Runs a Windows program under Wine")
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TAV_WINE})
endif()
