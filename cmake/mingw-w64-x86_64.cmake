# Cross-compiles the engine for 64-bit Windows with Debian's mingw-w64 (package
# g++-mingw-w64-x86-64). The programs are linked statically, so a tournament machine needs no
# DLL beyond those Windows itself ships.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TARN_MINGW_PREFIX x86_64-w64-mingw32)
# The posix-threads variant, whose C++ library has the threads, mutexes and condition variables
# the parallel search uses; its winpthread is linked statically like the rest.
find_program(CMAKE_CXX_COMPILER NAMES ${TARN_MINGW_PREFIX}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${TARN_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TARN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The stack of the main thread, which searches too, is set with the search library's
# (search/CMakeLists.txt).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Release programs carry no symbol table: they are shipped, not debugged.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
