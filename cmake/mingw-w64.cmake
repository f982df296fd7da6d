# Cross-building for 64-bit Windows with Debian's MinGW-w64 (the posix-threads flavour,
# which std::thread and GoogleTest need):
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KANVO_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KANVO_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KANVO_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KANVO_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${KANVO_MINGW_TRIPLET}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${KANVO_MINGW_TRIPLET}-ranlib CACHE FILEPATH "")

# Libraries and headers for the target only: Debian's MinGW files, and the prefix where
# scripts/windows-deps.sh installs what it builds (given as CMAKE_PREFIX_PATH).
set(CMAKE_FIND_ROOT_PATH /usr/${KANVO_MINGW_TRIPLET} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs run on a Windows machine without MinGW's runtime DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests and tools run under Wine on the build machine (test discovery at build time too),
# in a Wine prefix of the build's own, never the user's ~/.wine, and quietly: no debug
# channels, no offer to install Mono or Gecko.
find_program(KANVO_WINE NAMES wine wine64)
if(KANVO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/env WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix
      WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= ${KANVO_WINE})
endif()
