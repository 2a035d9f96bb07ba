#!/usr/bin/env bash
# zip_test.sh ZIP WIN32_BUILD_DIR
# The Windows .zip scripts/package made: its listing (one folder: the two modules, the guide, the
# licence, the version); its modules are the win32 build's shipped ones (which ctest --preset win32
# runs through the same Wine tests as the built ones), the built modules without debug information:
# the same loaded sections byte for byte, no DWARF and no symbol table, a debug link to the
# <zip>-debug.zip's file with its checksum, whose symbols read a crash address back; the guide and
# texts in Windows line endings, saying where the files go, how to remove them, and where the
# settings panel's link leads.
set -u
. "$(dirname "$0")/lib.sh"
zip=$(realpath "$1")
build=$(realpath "$2")
objdump=i686-w64-mingw32-objdump
objcopy=i686-w64-mingw32-objcopy
addr2line=i686-w64-mingw32-addr2line
for tool in unzip python3 $objdump $objcopy $addr2line; do require_tool "$tool"; done

folder=$(basename "$zip" .zip)
run unzip -l "$zip"
check_ran "unzip -l"
echo "$out"
listing=$(awk 'NR > 3 && $4 != "" && $1 ~ /^[0-9]+$/ {print $4}' <<<"$out" | LC_ALL=C sort)
expected=$(printf '%s\n' "$folder/INSTALL.txt" "$folder/LICENSE.txt" "$folder/VERSION.txt" \
  "$folder/blobfx.ape" "$folder/coilfx.ape" | LC_ALL=C sort)
if [ "$listing" = "$expected" ]; then pass "the listing"; else
  fail "the listing:"; diff <(echo "$expected") <(echo "$listing") | sed 's/^/    /'
fi

unzip -q "$zip" -d "$scratch/zip"
unzip -q "${zip%.zip}-debug.zip" -d "$scratch/debug" || fail "no ${zip%.zip}-debug.zip beside it"
files=$scratch/zip/$folder

# loaded_sections FILE: name, address and size of every section the loader maps.
loaded_sections() { $objdump -h "$1" | awk '$1 ~ /^[0-9]+$/ && $2 !~ /^\.(debug|gnu_debuglink)/ {print $2, $3, $4}'; }
for module in coilfx blobfx; do
  shipped=$files/$module.ape
  built=$build/$module/$module.ape
  check "$module.ape is the win32 build's shipped module" cmp -s "$shipped" "$build/packaging/shipped/$module.ape"
  check "$module.ape: smaller than the built one" test "$(stat -c %s "$shipped")" -lt "$(stat -c %s "$built")"
  headers=$($objdump -h "$shipped")
  check_hasnt "$module.ape: no debug information" "$headers" ".debug_"
  check_has "$module.ape: a debug link" "$headers" ".gnu_debuglink"
  check_has "$module.ape: no symbol table" "$($objdump -t "$shipped")" "no symbols"
  sections=$(loaded_sections "$shipped")
  check "$module.ape: the built module's sections" test "$sections" = "$(loaded_sections "$built")"
  for section in $(awk '{print $1}' <<<"$sections"); do
    $objcopy -O binary --only-section="$section" "$shipped" "$scratch/shipped.bin"
    $objcopy -O binary --only-section="$section" "$built" "$scratch/built.bin"
    check "$module.ape: $section the same bytes as built" cmp -s "$scratch/shipped.bin" "$scratch/built.bin"
  done

  # The debug link names the .debug file of the debug archive and its CRC-32.
  debug=$scratch/debug/$module.ape.debug
  $objcopy --dump-section .gnu_debuglink="$scratch/link.bin" "$shipped" "$scratch/out.ape"
  run python3 - "$scratch/link.bin" "$debug" <<'PY'
import struct, sys, zlib
link = open(sys.argv[1], "rb").read()
name = link[:link.index(b"\0")].decode()
(crc,) = struct.unpack("<I", link[-4:])
assert name == sys.argv[2].rsplit("/", 1)[1], name
assert crc == zlib.crc32(open(sys.argv[2], "rb").read()), "the checksum differs"
PY
  check_ran "$module.ape: its debug link names $module.ape.debug with its checksum"
  # A crash report's address (the module's base plus an offset) read back: the entry point's.
  base=$($objdump -p "$shipped" | sed -n 's/^ImageBase[[:space:]]*//p')
  entry=$($objdump -p "$shipped" | sed -n 's/^.*+base\[ *1\] \([0-9a-f]*\) Export RVA.*/\1/p')
  run $addr2line -f -e "$debug" "$(printf '0x%x' $((0x$base + 0x$entry)))"
  check_line "$module.ape: a crash address read back with its symbols" "$out" 'module_entry\.cpp:[0-9]+'
  check_has "$module.ape: built with this web address" "$(strings "$shipped")" \
    "$(sed -n 's/^APE_WEB_ADDRESS:STRING=//p' "$build/CMakeCache.txt")"
done

crlf_only() { python3 -c 'import sys; d = open(sys.argv[1], "rb").read(); sys.exit(not (d.count(b"\n") > 0 and d.count(b"\n") == d.count(b"\r\n")))' "$1"; }
for text in INSTALL.txt LICENSE.txt VERSION.txt; do
  check "$text: Windows line endings" crlf_only "$files/$text"
done
check "LICENSE.txt is the licence" cmp -s <(tr -d '\r' <"$files/LICENSE.txt") "$(dirname "$0")/../../LICENSE"

guide=$(tr -d '\r' <"$files/INSTALL.txt")
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
address=$(sed -n 's/^APE_WEB_ADDRESS:STRING=//p' "$build/CMakeCache.txt")
check_has "the guide: its version" "$guide" "Coilform 3D and Blobform 3D $version"
check_has "the guide: where the files go" "$guide" "Copy coilfx.ape and blobfx.ape into the host's plug-in folder"
check_has "the guide: the Plugins folder" "$guide" "named Plugins"
check_has "the guide: what they look like" "$guide" "What they look like"
check_has "the guide: how to remove them" "$guide" "Delete coilfx.ape and blobfx.ape"
check_has "the guide: the link's address" "$guide" "$address"
if [ "$address" = "https://example.org" ]; then
  check_has "the guide: the address is a placeholder" "$guide" "This address is a placeholder"
fi
check_has "the guide: the debug archive" "$guide" "$folder-debug.zip"
check_line "the guide: lines of at most 80 characters" "$(awk 'length > 80' <<<"$guide" | wc -l)" '^0$'
version_text=$(tr -d '\r' <"$files/VERSION.txt")
check_has "VERSION.txt: the version" "$version_text" "(ape-effects) $version, for 32-bit Windows"
check_line "VERSION.txt: the commit" "$version_text" '^Built from commit ([0-9a-f]{12}(-dirty)?|unknown)$'

finish
