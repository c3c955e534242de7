# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the POSIX-threads variant, so that
# the C++ library's threads and mutexes are all there). Used for the libraries that
# tools/win64/deps.sh builds and for the game itself.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(GNATRIX_MINGW x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${GNATRIX_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GNATRIX_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${GNATRIX_MINGW}-windres)
set(CMAKE_AR ${GNATRIX_MINGW}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${GNATRIX_MINGW}-gcc-ranlib-posix CACHE FILEPATH "")

# Headers and libraries of the target come from MinGW's own root and the prefixes listed in
# CMAKE_PREFIX_PATH/CMAKE_FIND_ROOT_PATH (the cached libraries); programs from the host.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${GNATRIX_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes go into each binary, so a player needs no MinGW DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
