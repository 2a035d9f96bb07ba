#!/bin/sh
# run_wine.sh PREFIX SECONDS PROGRAM [ARGS...]
# Runs one Windows program under Wine for a test, safe for CI: the test build's own Wine prefix
# (created on first use; that can take a minute), no Wine debug output, no prompts to install Mono
# or Gecko, a virtual X display of its own, a time limit so that a hung Wine cannot stall the run,
# and the prefix's Wine server ended afterwards so nothing outlives the test.
set -u
prefix=$1
limit=$2
shift 2
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEARCH=win32 WINEDLLOVERRIDES="mscoree,mshtml="
unset WINESERVER WINELOADER 2>/dev/null || true

for tool in wine wineserver xvfb-run timeout; do
  command -v "$tool" >/dev/null 2>&1 || { echo "run_wine: $tool is not installed"; exit 1; }
done

if ! reason=$(sh "$(dirname "$0")/runs_32bit.sh"); then
  . "$(dirname "$0")/../support/skip_or_fail.sh"
  skip_or_fail "$reason"
fi

status=0
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  echo "run_wine: creating the Wine prefix $prefix"
  timeout -k 10 300 xvfb-run -a -s "-screen 0 1024x768x24" \
    sh -c 'wineboot -i >/dev/null 2>&1; wineserver -w' </dev/null || status=$?
  if [ ! -f "$prefix/system.reg" ]; then
    echo "run_wine: wineboot could not create the prefix (status $status)"
    exit 1
  fi
fi
[ "$#" -eq 0 ] && exit 0

timeout -k 10 "$limit" xvfb-run -a -s "-screen 0 1024x768x24" \
  sh -c 'wine "$@"; s=$?; wineserver -k >/dev/null 2>&1; exit $s' run_wine "$@" </dev/null
status=$?
wineserver -k >/dev/null 2>&1 || true
[ "$status" -eq 124 ] && echo "run_wine: timed out after $limit s"
exit "$status"
