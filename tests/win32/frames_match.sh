#!/bin/sh
# frames_match.sh WORK LINUX_HOST LINUX_MODULE RUN_WINE PREFIX WIN_HOST WIN_MODULE W H FRAMES TICKS SETTINGS
# Renders one synthetic trace with the Linux build of a module and with its Windows build under
# Wine, from the same tick count and settings, and compares the frames pixel for pixel. They must be
# identical; the comparison prints how many pixels differ, in which frames, and the first few.
# Without a Linux reference build to compare with it is skipped (exit 77), or fails under CI.
set -u
. "$(dirname "$0")/../support/skip_or_fail.sh"
work=$1 linux_host=$2 linux_module=$3 run_wine=$4 prefix=$5 win_host=$6 win_module=$7
width=$8 height=$9
shift 9
frames=$1 ticks=$2 settings=$3

if [ ! -x "$linux_host" ] || [ ! -f "$linux_module" ]; then
  skip_or_fail "no Linux reference build ($linux_host, $linux_module); build the release preset"
fi
mkdir -p "$work"
trace="$work/trace.bin"
"$linux_host" make-trace "$trace" "$frames" || exit 1
echo "== Linux: $linux_module"
"$linux_host" render "$linux_module" "$trace" "$work/linux.raw" "$width" "$height" "$ticks" \
  "$settings" || exit 1
echo "== Windows (Wine): $win_module"
sh "$run_wine" "$prefix" 300 "$win_host" render "$win_module" "$trace" "$work/windows.raw" \
  "$width" "$height" "$ticks" "$settings" || exit $?  # 77: this machine cannot run Wine
echo "== compare"
"$linux_host" compare "$work/linux.raw" "$work/windows.raw" "$width" "$height"
