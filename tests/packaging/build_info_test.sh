#!/usr/bin/env bash
# build_info_test.sh
# The commit a build records (apehost --version, the Windows package's VERSION.txt): in a checkout
# git's abbreviated hash (-dirty with changes); in a tarball made by git archive the commit it was
# made from, with no git at all, and such a tarball configures and records it; "unknown" when
# nothing tells; a commit given at configure time wins; sources unpacked inside another checkout
# do not take its commit.
set -u
. "$(dirname "$0")/lib.sh"
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
script=$source_dir/cmake/write_build_info.cmake
require_tool git
git -C "$source_dir" rev-parse --is-inside-work-tree >/dev/null 2>&1 ||
  skip_or_fail "$source_dir is not a git checkout"

head=$(git -C "$source_dir" rev-parse --short=12 HEAD)
cmake_program=$(command -v cmake)
template=$scratch/template.in
echo "@APE_VERSION@ @APE_COMMIT@" >"$template"

# record DIR [cmake -D arguments...]: the version and commit written for sources in DIR.
record() {
  local dir=$1
  shift
  "$cmake_program" -DSOURCE_DIR="$dir" -DTEMPLATE="$template" -DOUTPUT="$scratch/out" \
    -DVERSION=9.8.7 "$@" -P "$script" && cat "$scratch/out"
}

expected=$head
[ -z "$(git -C "$source_dir" status --porcelain --untracked-files=no)" ] || expected=$head-dirty
check "a checkout: its commit" test "$(record "$source_dir")" = "9.8.7 $expected"
check "a commit given wins" test "$(record "$source_dir" -DCOMMIT=abc123)" = "9.8.7 abc123"

# A tarball of HEAD, unpacked where no git can be run.
mkdir -p "$scratch/tarball" "$scratch/nogit"
git -C "$source_dir" archive --format=tar HEAD | tar -x -C "$scratch/tarball"
for program in /usr/bin/*; do
  [ "$(basename "$program")" = git ] || ln -s "$program" "$scratch/nogit/"
done
nogit() { env PATH="$scratch/nogit" "$@"; }
check "no git on the bare PATH" test -z "$(PATH=$scratch/nogit command -v git)"
check "a tarball: the commit it was made from" \
  test "$(nogit "$cmake_program" -DSOURCE_DIR="$scratch/tarball" -DTEMPLATE="$template" \
    -DOUTPUT="$scratch/out" -DVERSION=9.8.7 -P "$script" && cat "$scratch/out")" = "9.8.7 $head"

# The same tarball configures without git, and its build records the commit.
run nogit "$cmake_program" -S "$scratch/tarball" -B "$scratch/tarball-build" -DAPE_BUILD_TESTS=OFF \
  -DAPE_BUILD_BENCH=OFF
check_ran "a tarball configures without git"
run nogit "$cmake_program" --build "$scratch/tarball-build" --target apehost_build_commit
check_ran "a tarball's build records its commit"
check_has "the tarball build's commit" \
  "$(cat "$scratch/tarball-build/host/cli/generated/build_commit.h" 2>/dev/null)" \
  "#define APE_BUILD_COMMIT \"$head\""

# Without the recorded commit: unknown. Inside another checkout: not that checkout's commit.
cp -r "$scratch/tarball" "$scratch/plain"
printf '$Format:%%H$\n' >"$scratch/plain/cmake/source_commit.txt"
check "nothing tells: unknown" test "$(record "$scratch/plain")" = "9.8.7 unknown"
git init -q "$scratch/outer"
git -C "$scratch/outer" -c user.name=t -c user.email=t@t commit -q --allow-empty -m outer
cp -r "$scratch/plain" "$scratch/outer/ape-effects"
check "inside another checkout: unknown" \
  test "$(record "$scratch/outer/ape-effects")" = "9.8.7 unknown"

finish
