#!/bin/sh
# runs_32bit.sh: exits 0 when this machine runs 32-bit x86 programs, as Wine needs to run the
# Windows modules; otherwise says why on one line and exits 1. A kernel can have its IA-32
# emulation switched off (built so, or booted with ia32_emulation=off), and then no package makes
# Wine run. Tried with the 32-bit C library's loader, which Wine's 32-bit half depends on; without
# it Wine is not installed either, which run_wine.sh reports by itself.
loader=/lib/ld-linux.so.2
[ -e "$loader" ] || exit 0
"$loader" --version >/dev/null 2>&1 && exit 0
echo "this machine's kernel runs no 32-bit x86 programs (its IA-32 emulation is off)," \
  "so Wine cannot run the Windows modules"
exit 1
