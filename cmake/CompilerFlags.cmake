# Numbers must come out bit for bit the same on every build: IEEE doubles exactly as the code writes
# them (no fast-math, no fused multiply-add), SSE2 doubles on 32-bit x86 instead of x87's extended
# precision, and no tuning for the build machine's processor.
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

option(APE_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(APE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
