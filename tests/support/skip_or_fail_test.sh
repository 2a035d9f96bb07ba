#!/bin/sh
# skip_or_fail_test.sh: skip_or_fail ends a test with 77 (skipped) outside CI and 1 (failed) under
# CI, saying why either way.
set -u
helper="$(dirname "$0")/skip_or_fail.sh"
fail=0

# expect STATUS CI-SETTING...: runs skip_or_fail with the environment changed by `env`.
expect() {
  want=$1
  shift
  out=$(env "$@" sh -c '. "$1"; skip_or_fail "no reference build"; echo "went on"' sh "$helper")
  status=$?
  case "$out" in *"no reference build"*) ;; *) echo "FAILED ($*): the reason is not shown: $out"; fail=1 ;; esac
  if [ "$status" -ne "$want" ]; then
    echo "FAILED ($*): exit status $status, expected $want: $out"
    fail=1
  else
    echo "ok ($*): $out"
  fi
}

expect 77 -u CI
expect 77 CI=
expect 77 CI=false
expect 77 CI=0
expect 1 CI=true
expect 1 CI=1
exit "$fail"
