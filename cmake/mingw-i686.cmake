# Cross-compiling for 32-bit Windows with Debian's mingw-w64 (posix threads):
#   cmake -S src/bridge -B build-bridge -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
# JV-Link is a 32-bit in-process server, so whatever hosts it must be 32-bit too.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(_mingw i686-w64-mingw32)
set(CMAKE_C_COMPILER ${_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${_mingw}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything static: the programs run in a bare Wine prefix or a user's Windows, where no
# mingw runtime DLL (libgcc_s, libstdc++, libwinpthread) is to be found.
set(_static "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${_static}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${_static}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${_static}")
