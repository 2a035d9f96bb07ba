# Cross build for the host's platform: 32-bit Windows, with Debian's MinGW-w64 toolchain.
#
# The compilers are the win32 thread-model variants (-win32), and the resource compiler comes from
# the same toolchain. The plug-ins are called on the host's threads but start none and take no lock;
# their per-thread values (the random generator's state, thread_local, and the C++ runtime's own)
# live in libgcc's emulated thread-local storage, which this variant builds on Windows' TlsAlloc. So
# no POSIX thread layer (winpthreads) is linked, and the fully static link leaves nothing but
# system DLLs among a module's imports (tests/win32 checks the import table).
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

# This file only chooses the tools and where libraries are found. The flags the Windows build needs
# are set by the project itself, where flags given on the command line cannot drop them: SSE2
# doubles and the stack realignment for calls from an MSVC-built host on every target
# (CompilerFlags.cmake, directory-wide), and the static link on each module (ApePlugin.cmake) and on
# each Windows test program (tests/win32).
