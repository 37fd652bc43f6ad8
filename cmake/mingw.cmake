# Cross build for Windows with MinGW-w64 (posix threads flavour), 32-bit or
# 64-bit: -DQUILLAN_MINGW_ARCH=i686 (the default) or x86_64.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT QUILLAN_MINGW_ARCH)
  set(QUILLAN_MINGW_ARCH i686)
endif()
if(NOT QUILLAN_MINGW_ARCH MATCHES "^(i686|x86_64)$")
  message(FATAL_ERROR "QUILLAN_MINGW_ARCH is i686 or x86_64, not '${QUILLAN_MINGW_ARCH}'")
endif()
set(QUILLAN_MINGW_ARCH ${QUILLAN_MINGW_ARCH} CACHE STRING "Windows architecture: i686 or x86_64")
# try_compile projects read this file again and need the same answer.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUILLAN_MINGW_ARCH)
set(CMAKE_SYSTEM_PROCESSOR ${QUILLAN_MINGW_ARCH})

set(QUILLAN_MINGW_PREFIX ${QUILLAN_MINGW_ARCH}-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${QUILLAN_MINGW_PREFIX}-gcc-posix ${QUILLAN_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${QUILLAN_MINGW_PREFIX}-g++-posix ${QUILLAN_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${QUILLAN_MINGW_PREFIX}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${QUILLAN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained exe: no libgcc/libstdc++/winpthread DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test discovery would run the test programs at build time (under Wine);
# leave it to the test run.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

# Test programs run under Wine: the 32-bit loader for i686, wine64 for x86_64.
if(QUILLAN_MINGW_ARCH STREQUAL "x86_64")
  find_program(QUILLAN_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
else()
  find_program(QUILLAN_WINE NAMES wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
endif()
if(QUILLAN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUILLAN_WINE})
endif()
