# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (posix threads,
# packages g++-mingw-w64-x86-64-posix and gcc-mingw-w64-x86-64-posix).
# ./scripts/windows builds Qt with it and then the tool against that Qt.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PLC_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PLC_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PLC_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${PLC_MINGW}-windres)

# Libraries, headers and CMake packages come from the MinGW root and the
# prefixes the caller adds (the cross-built Qt); programs from the host.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${PLC_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
