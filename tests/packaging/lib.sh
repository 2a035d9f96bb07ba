# Sourced by the packaging tests (bash): checks that count failures instead of stopping at the
# first, a scratch folder removed at exit, commands run with their output captured, and the shell
# side of REQUIRE_TOOL (a missing program skips the test, under CI it fails).
. "$(dirname "${BASH_SOURCE[0]}")/../support/skip_or_fail.sh"

failures=0
scratch=$(mktemp -d "${TMPDIR:-/tmp}/ape-packaging.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

pass() { echo "ok: $1"; }
fail() {
  echo "FAILED: $1"
  failures=$((failures + 1))
}
# check WHAT COMMAND...: passes when the command succeeds.
check() {
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
# has TEXT STRING: TEXT holds STRING (fixed); has_line TEXT REGEX: a line of TEXT matches REGEX.
has() { grep -qF -- "$2" <<<"$1"; }
has_line() { grep -qE -- "$2" <<<"$1"; }
# check_has WHAT TEXT STRING and check_line WHAT TEXT REGEX, printing (the start of) TEXT when they
# fail.
show() { printf '%s\n' "$1" | sed 's/^/    /; 40{s/.*/    .../;q}'; }
check_has() {
  if has "$2" "$3"; then pass "$1"; else fail "$1: no \"$3\" in:"; show "$2"; fi
}
check_line() {
  if has_line "$2" "$3"; then pass "$1"; else fail "$1: no line like /$3/ in:"; show "$2"; fi
}
check_hasnt() {
  if ! has "$2" "$3"; then pass "$1"; else fail "$1: \"$3\" in:"; show "$2"; fi
}

# run COMMAND...: runs it, leaving its standard output in $out, standard error in $err and exit
# status in $status.
run() {
  out=$("$@" 2>"$scratch/.stderr")
  status=$?
  err=$(cat "$scratch/.stderr")
}
# check_ran WHAT: the last run ended with status 0 (its standard error is shown when not).
check_ran() {
  if [ "$status" -eq 0 ]; then pass "$1"; else fail "$1: exit status $status; standard error:"; printf '%s\n' "$err" | sed 's/^/    /'; fi
}

require_tool() {
  command -v "$1" >/dev/null 2>&1 || skip_or_fail "$1 is not installed (scripts/setup installs it)"
}

# finish: the test's exit status.
finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
  fi
  echo "every check passed"
  exit 0
}
