# The flags every target of the project compiles with, and the sanitizers of a checking build.
#
# Numbers must come out bit for bit the same on every build: IEEE doubles exactly as the code writes
# them (no fast-math, no fused multiply-add), SSE2 doubles on 32-bit x86 instead of x87's extended
# precision, and no tuning for the build machine's processor.
#
# These are directory-wide on purpose, not on a target that each target must remember to link:
# bit exactness is a property of every translation unit that computes a double, not of one library.
# The effects compute the pixels, but the tests compute the references they are held to, the C test
# host renders the frames the Windows modules must match, and apehost computes the sound bytes the
# effects are fed. A target that missed the flags would still build and pass here (this machine's
# baseline x86-64 has no fused multiply-add to contract into) and differ only on another machine,
# so the flags are given to everything by construction. Being compile options, not CMAKE_CXX_FLAGS,
# flags given on the command line add to them but cannot drop them.
add_compile_options(
  -Wall -Wextra
  -ffp-contract=off
  -fno-fast-math
)
# (Emscripten's toolchain calls WebAssembly "x86"; its doubles are IEEE doubles already.)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i[3-6]86|x86)$" AND NOT EMSCRIPTEN)
  add_compile_options(-msse2 -mfpmath=sse)
  if(WIN32)
    # A host built with MSVC only keeps the stack 4-byte aligned when it calls in (the entry point,
    # the effect table, and the window procedures the panel hands to user32), while GCC assumes 16.
    # Assuming only 4 makes every function that needs more realign its own frame.
    add_compile_options(-mincoming-stack-boundary=2)
  endif()
endif()

# APE_SANITIZE: the sanitizers every target is built and linked with, as a list of -fsanitize=
# names; the presets set it (sanitize: address;undefined, tsan: thread, fuzz: the libFuzzer
# instrumentation, fuzzer-no-link, beside address;undefined). Empty: none. ON is read as
# address;undefined, the usual checking build. Every finding is fatal.
set(APE_SANITIZE "" CACHE STRING
    "Sanitizers to build with, a list of -fsanitize= names (e.g. address;undefined or thread)")
set(ape_sanitizers ${APE_SANITIZE})
if(ape_sanitizers STREQUAL "ON")
  set(ape_sanitizers address undefined)
elseif(NOT APE_SANITIZE)
  set(ape_sanitizers)
endif()
if(ape_sanitizers)
  list(JOIN ape_sanitizers "," ape_sanitizer_names)
  message(STATUS "Sanitizers: ${ape_sanitizer_names}")
  add_compile_options(-fsanitize=${ape_sanitizer_names} -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${ape_sanitizer_names} -fno-sanitize-recover=all)
endif()
