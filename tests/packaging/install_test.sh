#!/usr/bin/env bash
# install_test.sh BUILD_DIR PROBE_MODULE
# cmake --install of a build into a temporary root (DESTDIR), then the installed apehost run from
# there with nothing in its environment but PATH and HOME: its version, the plug-ins it finds and
# where, a render by bare name; a plug-in in the user's folder is found, a broken one there is
# reported and skipped, APEHOST_PLUGIN_PATH comes first; and the installation still works moved
# to another prefix.
set -u
. "$(dirname "$0")/lib.sh"
build=$(realpath "$1")
probe=$(realpath "$2")

root=$scratch/root
prefix=/opt/ape-effects
inst=$root$prefix
plugins=$inst/lib/apehost/plugins
if ! DESTDIR=$root cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1; then
  cat "$scratch/install.log"
  fail "cmake --install"
  finish
fi

# The layout: exactly these files, the programs executable and the modules not.
expected="bin/apehost
lib/apehost/plugins/blobfx.so
lib/apehost/plugins/coilfx.so
share/applications/apehost-play.desktop
share/applications/apehost.desktop
share/doc/ape-effects/LICENSE
share/doc/ape-effects/README.md
share/doc/ape-effects/changelog.gz
share/doc/ape-effects/copyright
share/icons/hicolor/scalable/apps/apehost.svg
share/man/man1/apehost.1.gz"
installed=$(cd "$inst" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
if [ "$installed" = "$expected" ]; then pass "installed layout"; else
  fail "installed layout:"; diff <(echo "$expected") <(echo "$installed") | sed 's/^/    /'
fi
check "apehost is executable" test -x "$inst/bin/apehost"
check "modules are 0644" test "$(stat -c %a "$plugins/coilfx.so" "$plugins/blobfx.so")" = "644
644"

home=$scratch/home
mkdir -p "$home"
user_plugins=$home/.local/share/apehost/plugins
# apehost ARGS...: the installed one, in an environment of PATH and HOME only (and VAR=value words
# given before the arguments with env).
apehost() { env -i PATH=/usr/bin:/bin HOME="$home" "$@"; }
ape=$inst/bin/apehost

run apehost "$ape" --version
check_ran "--version"
check_line "--version names the version and the commit" "$out" \
  '^apehost [0-9]+\.[0-9]+\.[0-9]+ \(commit ([0-9a-f]{12}(-dirty)?|unknown)\)$'

run apehost "$ape" plugins
check_ran "plugins"
check_has "plugins: the user folder" "$out" "  user folder          $user_plugins (no such folder)"
check_has "plugins: the installed folder" "$out" "  installed            $plugins
"
check_hasnt "plugins: no build tree outside one" "$out" "build tree"
check_line "plugins: coilfx installed" "$out" "^  coilfx +Coilform 3D +Render / Coilform 3D +$plugins/coilfx.so\$"
check_line "plugins: blobfx installed" "$out" "^  blobfx +Blobform 3D +Render / Blobform 3D +$plugins/blobfx.so\$"

run apehost "$ape" info coilfx
check_ran "info coilfx"
check_has "info coilfx: the installed module" "$out" "file:        $plugins/coilfx.so"
check_has "info coilfx: its name" "$out" "name:        Coilform 3D"

# A two-frame render by bare name.
cd "$scratch"
run apehost "$ape" trace-synth -o two.trace --frames 2
check_ran "trace-synth"
run apehost "$ape" render coilfx --trace two.trace --size 64x48 --frames 2 --raw two.raw
check_ran "render coilfx by name"
check "render: two frames of 64x48" test "$(stat -c %s two.raw 2>/dev/null)" = $((2 * 64 * 48 * 4))

# A plug-in in the user's folder is found by name, and listed.
mkdir -p "$user_plugins"
cp "$probe" "$user_plugins/probefx.so"
run apehost "$ape" info probefx
check_ran "info probefx from the user folder"
check_has "the user folder's probefx" "$out" "file:        $user_plugins/probefx.so"
run apehost "$ape" plugins
check_line "plugins: probefx in the user folder" "$out" "^  probefx +Probe +Render / Probe +$user_plugins/probefx.so\$"

# XDG_DATA_HOME moves the user folder.
xdg=$scratch/xdg
mkdir -p "$xdg/apehost/plugins"
cp "$probe" "$xdg/apehost/plugins/xdgfx.so"
run apehost XDG_DATA_HOME="$xdg" "$ape" info xdgfx
check_ran "info xdgfx from \$XDG_DATA_HOME/apehost/plugins"
check_has "the XDG folder's xdgfx" "$out" "file:        $xdg/apehost/plugins/xdgfx.so"

# A broken coilfx in the user's folder: reported by path and reason, skipped for the installed one.
echo "not a module" >"$user_plugins/coilfx.so"
run apehost "$ape" info coilfx
check_ran "info coilfx past a broken one"
check_has "the installed coilfx after the broken one" "$out" "file:        $plugins/coilfx.so"
check_line "the broken one reported" "$err" \
  "^apehost: note: $user_plugins/coilfx.so: not a loadable shared library \(.*\); skipped\$"
run apehost "$ape" plugins
check_line "plugins: the broken one listed" "$out" \
  "^  coilfx +- +- +$user_plugins/coilfx.so \(does not load: not a loadable shared library"

# APEHOST_PLUGIN_PATH comes before the user's folder (a loadable coilfx there too) and the
# installed one: its coilfx is a Blobform module.
cp "$probe" "$user_plugins/coilfx.so"
run apehost "$ape" info coilfx
check_has "the user folder's coilfx before the installed one" "$out" "file:        $user_plugins/coilfx.so"
listed=$scratch/listed
mkdir -p "$listed"
cp "$plugins/blobfx.so" "$listed/coilfx.so"
run apehost APEHOST_PLUGIN_PATH="$scratch/none:$listed" "$ape" info coilfx
check_ran "info coilfx from APEHOST_PLUGIN_PATH"
check_has "APEHOST_PLUGIN_PATH first" "$out" "file:        $listed/coilfx.so"
check_has "APEHOST_PLUGIN_PATH's module" "$out" "name:        Blobform 3D"
rm "$user_plugins/coilfx.so"

# The whole installation moved elsewhere, and run through a link: it finds its own plug-ins.
mkdir -p "$scratch/moved" "$scratch/links"
mv "$inst" "$scratch/moved/ape"
ln -s "$scratch/moved/ape/bin/apehost" "$scratch/links/apehost"
run apehost "$scratch/links/apehost" info blobfx
check_ran "a moved installation"
check_has "a moved installation finds its plug-ins" "$out" \
  "file:        $scratch/moved/ape/lib/apehost/plugins/blobfx.so"

finish
