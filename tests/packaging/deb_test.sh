#!/usr/bin/env bash
# deb_test.sh DEB
# The .deb scripts/package made, with Debian's own tools: its fields and layout (dpkg-deb --info,
# --contents), its declared dependencies all real Debian packages (apt-get install --simulate of
# their names, apt-get satisfy --simulate of the whole field), unpacked anywhere (dpkg-deb -x) its
# apehost finds its own plug-ins and renders the demo to a video, its binaries carry no debug
# information while the -debug.tar.xz beside it holds it where gdb finds it, and lintian reports
# no error.
set -u
. "$(dirname "$0")/lib.sh"
deb=$(realpath "$1")
for tool in dpkg-deb apt-get lintian ffprobe gdb readelf; do require_tool "$tool"; done

run dpkg-deb --info "$deb"
check_ran "dpkg-deb --info"
info=$out
echo "$info"
field() { sed -n "s/^ $1: //p" <<<"$info"; }
check "Package: ape-effects" test "$(field Package)" = ape-effects
check "Architecture: amd64" test "$(field Architecture)" = amd64
check_line "Version: the project's" "$(field Version)" '^[0-9]+\.[0-9]+\.[0-9]+$'
check_line "a Maintainer" "$(field Maintainer)" '^[^<]+ <[^@>]+@[^>]+>$'
depends=$(field Depends)
names=$(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*)//; s/ //g' | grep -v '^$' | sort -u)
for package in ffmpeg libc6 libstdc++6 libaubio5 libsndfile1 libsdl2-2.0-0 libpng16-16; do
  check "Depends on $package" grep -qxF "$package" <<<"$names"
done
check_line "the libraries' versions computed" "$depends" 'libc6 \(>= [0-9.]+\)'

run dpkg-deb --contents "$deb"
check_ran "dpkg-deb --contents"
contents=$out
echo "$contents"
files=$(awk '$1 !~ /^d/ {print $1, $2, $NF}' <<<"$contents" | LC_ALL=C sort -k3)
expected="-rwxr-xr-x root/root ./usr/bin/apehost
-rw-r--r-- root/root ./usr/lib/apehost/plugins/blobfx.so
-rw-r--r-- root/root ./usr/lib/apehost/plugins/coilfx.so
-rw-r--r-- root/root ./usr/share/applications/apehost-play.desktop
-rw-r--r-- root/root ./usr/share/applications/apehost.desktop
-rw-r--r-- root/root ./usr/share/doc/ape-effects/LICENSE
-rw-r--r-- root/root ./usr/share/doc/ape-effects/README.md
-rw-r--r-- root/root ./usr/share/doc/ape-effects/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/ape-effects/copyright
-rw-r--r-- root/root ./usr/share/icons/hicolor/scalable/apps/apehost.svg
-rw-r--r-- root/root ./usr/share/man/man1/apehost.1.gz"
if [ "$files" = "$expected" ]; then pass "the layout, owners and modes"; else
  fail "the layout, owners and modes:"; diff <(echo "$expected") <(echo "$files") | sed 's/^/    /'
fi

# Every package it declares is a real Debian package, and the whole field can be satisfied.
run apt-get install --simulate --no-install-recommends $names
check_ran "apt-get install --simulate accepts: $(echo $names)"
run apt-get satisfy --simulate "$depends"
check_ran "apt-get satisfy --simulate accepts the Depends field"

# Unpacked into a root of its own, run from there with nothing but PATH and HOME.
root=$scratch/root
home=$scratch/home
mkdir -p "$root" "$home" "$scratch/work"
dpkg-deb -x "$deb" "$root"
apehost() { (cd "$scratch/work" && env -i PATH=/usr/bin:/bin HOME="$home" "$root/usr/bin/apehost" "$@"); }
run apehost plugins
check_ran "plugins"
check_line "its own coilfx" "$out" "^  coilfx +Coilform 3D +Render / Coilform 3D +$root/usr/lib/apehost/plugins/coilfx.so\$"
check_line "its own blobfx" "$out" "^  blobfx +Blobform 3D +Render / Blobform 3D +$root/usr/lib/apehost/plugins/blobfx.so\$"
run apehost demo --frames 30 -o x.mp4
check_ran "demo --frames 30 -o x.mp4"
check_has "the demo's report" "$out" "demo: wrote $scratch/work/x.mp4 (30 frames"
run ffprobe -v error -select_streams v:0 -count_frames -show_entries stream=nb_read_frames,width,height \
  -of default=noprint_wrappers=1 "$scratch/work/x.mp4"
check_ran "ffprobe x.mp4"
check_has "a video of 30 frames" "$out" "nb_read_frames=30"

# No debug information shipped; the archive beside the package has it, by build id.
debug_archive=${deb%.deb}-debug.tar.xz
check "the debug archive beside the package" test -f "$debug_archive"
symbols=$scratch/symbols
mkdir -p "$symbols"
tar -xJf "$debug_archive" -C "$symbols"
for binary in usr/bin/apehost usr/lib/apehost/plugins/coilfx.so usr/lib/apehost/plugins/blobfx.so; do
  sections=$(readelf -S --wide "$root/$binary")
  check_hasnt "$binary: no debug information" "$sections" ".debug_info"
  check_hasnt "$binary: no symbol table" "$sections" ".symtab"
  check_has "$binary: a debug link" "$sections" ".gnu_debuglink"
  id=$(readelf -n "$root/$binary" | sed -n 's/.*Build ID: //p')
  check "$binary: its debug information, by build id" \
    test -f "$symbols/usr/lib/debug/.build-id/${id:0:2}/${id:2}.debug"
done
# gdb reads a shipped binary's functions and source lines with the archive's files.
run gdb -nx -batch -iex "set debug-file-directory $symbols/usr/lib/debug" \
  -ex "info line coilfx::CoilEffect::render_frame" "$root/usr/lib/apehost/plugins/coilfx.so"
check_line "gdb: coilfx's source lines" "$out" 'Line [0-9]+ of ".*coilfx/src/coil_effect\.cpp"'
run gdb -nx -batch -iex "set debug-file-directory $symbols/usr/lib/debug" \
  -ex "info line apehost::add_plugins_command" "$root/usr/bin/apehost"
check_line "gdb: apehost's source lines" "$out" '^Line [0-9]+ of '

run lintian "$deb"
echo "lintian: ${out:-(nothing to report)}"
check_hasnt "lintian: no error" "$out" "E: "
check_ran "lintian"

finish
