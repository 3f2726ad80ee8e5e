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

# CTest runs the test programs under Wine; a Windows host runs them directly. The scripts set
# WINEPREFIX and the Chinese locale (see scripts/lib/common.sh).
if(NOT CMAKE_HOST_WIN32)
  find_program(TAV_WINE NAMES wine)
  if(TAV_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TAV_WINE})
  endif()
endif()
