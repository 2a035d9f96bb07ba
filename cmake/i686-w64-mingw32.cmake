# Cross build for the host's platform: 32-bit Windows, with Debian's MinGW-w64 toolchain.
#
# The -win32 thread-model variant of the compilers is used throughout (C, C++ and the resource
# compiler come from the same toolchain): the plug-ins start no threads, so they need no POSIX thread
# layer, and a fully static link then leaves nothing but system DLLs among a module's imports.
set(CMAKE_SYSTEM_NAME Windows)
# Matches the x86 test in CompilerFlags.cmake, which switches doubles to SSE2.
set(CMAKE_SYSTEM_PROCESSOR i686)

set(APE_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${APE_MINGW_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${APE_MINGW_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER ${APE_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${APE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The stack realignment for calls from an MSVC-built host (CompilerFlags.cmake) and the static link of
# each module (ApePlugin.cmake) are set where the targets are made, so that flags given on the
# command line cannot drop them.
