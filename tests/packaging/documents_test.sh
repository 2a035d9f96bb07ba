#!/usr/bin/env bash
# documents_test.sh BUILD_DIR APEHOST
# What an installation shows its users besides the program: the manual page (no warning from
# groff -man -ww or man --warnings, the project's version, a section for every command and every
# long option of apehost --help), the desktop entries (desktop-file-validate; the commands they
# run exist) and the icon (well-formed, square SVG).
set -u
. "$(dirname "$0")/lib.sh"
build=$1
apehost=$2
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
require_tool groff
require_tool man
require_tool desktop-file-validate
require_tool python3

page=$build/packaging/apehost.1
check "the configured manual page exists" test -f "$page"
run groff -man -ww -z -Tutf8 "$page"
check_ran "groff -man -ww"
check "groff -man -ww: no warnings" test -z "$err"
[ -z "$err" ] || printf '%s\n' "$err" | sed 's/^/    /'
run env MANWIDTH=80 man --warnings -l "$page"
check_ran "man --warnings"
check "man --warnings: no warnings" test -z "$err"
[ -z "$err" ] || printf '%s\n' "$err" | sed 's/^/    /'
check "gzip: the installed page is the configured one" \
  cmp -s <(gzip -dc "$build/packaging/apehost.1.gz") "$page"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
check_line "the page's title names the version" "$(head -5 "$page")" \
  "^\.TH APEHOST 1 \"\" \"ape-effects $version\""

# Every command and every long option apehost knows is in the page (the page spells - as \-).
text=$(sed 's/\\-/-/g' "$page")
commands=$("$apehost" --help | sed -n '/^Subcommands:/,$s/^  \([a-z-]*\) .*/\1/p')
check "apehost --help lists commands" test -n "$commands"
for command in $commands; do
  check_line "the page has a section for $command" "$text" "^\.SS $command\$"
  for option in $("$apehost" "$command" --help | grep -oE -- '--[a-z][a-z-]+' | sort -u); do
    [ "$option" = --help ] && continue
    check_has "the page explains $command $option" "$text" "$option"
  done
done
check_has "the page explains --version" "$text" "--version"

for entry in apehost.desktop apehost-play.desktop; do
  file=$source_dir/packaging/linux/$entry
  run desktop-file-validate "$file"
  check "desktop-file-validate $entry" test "$status" -eq 0 -a -z "$out$err"
  [ -z "$out$err" ] || printf '%s\n' "$out$err" | sed 's/^/    /'
  # The command it runs: an apehost command, with options that command has.
  exec_line=$(sed -n 's/^Exec=//p' "$file")
  read -r program command words <<<"$exec_line"
  check "$entry runs apehost" test "$program" = apehost
  help=$("$apehost" "$command" --help 2>&1)
  check "$entry: apehost $command exists" test $? -eq 0
  for word in $words; do
    case $word in --*) check_has "$entry: apehost $command has $word" "$help" "$word" ;; esac
  done
done

run python3 - "$source_dir/packaging/linux/apehost.svg" <<'PY'
import sys, xml.etree.ElementTree as tree
root = tree.parse(sys.argv[1]).getroot()
assert root.tag == "{http://www.w3.org/2000/svg}svg", root.tag
x, y, w, h = (float(v) for v in root.get("viewBox").split())
assert w == h and w > 0, "the icon must be square"
PY
check_ran "the icon is a square SVG"

finish
