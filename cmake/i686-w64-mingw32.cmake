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

# A host built with MSVC only keeps the stack 4-byte aligned when it calls in (the entry point, the
# effect table, and the window procedures the panel hands to user32), while GCC assumes 16 bytes.
# Assuming only 4 makes every function that needs more realign its own frame.
set(CMAKE_C_FLAGS_INIT "-mincoming-stack-boundary=2")
set(CMAKE_CXX_FLAGS_INIT "-mincoming-stack-boundary=2")

# libgcc, libstdc++ and the rest of the C++ runtime go inside each module: the host's machine has
# none of MinGW's DLLs.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
