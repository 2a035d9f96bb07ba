#!/bin/sh
# check_binary.sh OBJDUMP MODULE
# The module file as a linker built it: exactly one export, _AVS_APE_RetrFunc (no cdecl decoration
# added or lost); imports from system DLLs only (the runtimes are linked in); and the six host-table
# trampolines return with `ret $N`, popping their own N bytes of arguments as thiscall requires.
set -u
objdump=$1
module=$2
fail=0

headers=$("$objdump" -p "$module") || exit 1
names=$(printf '%s\n' "$headers" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
        sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p')
echo "exports: $names"
[ "$names" = "_AVS_APE_RetrFunc" ] || { echo "FAILED: the export table must hold exactly _AVS_APE_RetrFunc"; fail=1; }

for dll in $(printf '%s\n' "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p'); do
  echo "imports: $dll"
  case $(printf '%s' "$dll" | tr 'A-Z' 'a-z') in
    kernel32.dll|user32.dll|gdi32.dll|comdlg32.dll|shell32.dll|msvcrt.dll) ;;
    *) echo "FAILED: $dll is not a system DLL"; fail=1 ;;
  esac
done

listing=$("$objdump" -d --no-show-raw-insn -C "$module") || exit 1
# check_ret NAME WANT: every ret of the trampoline apefw::(anonymous)::NAME(ApeEffect*...) is WANT.
check_ret() {
  rets=$(printf '%s\n' "$listing" | awk -v head="<apefw::(anonymous namespace)::$1(ApeEffect*" '
    index($0, head) && /:$/ { inside = 1; next }
    inside && /^$/ { exit }
    inside && $0 ~ /\tret/ { sub(/.*\tret[ ]*/, ""); print ($0 == "" ? "none" : $0) }')
  rets=$(printf '%s\n' "$rets" | sort -u | tr '\n' ' ' | sed 's/ $//')
  echo "$1: ret ${rets}"
  [ "$rets" = "$2" ] || { echo "FAILED: $1 must return with ret $2"; fail=1; }
}
check_ret destroy '$0x4'
check_ret render_frame '$0x18'
check_ret create_settings_panel '$0x8'
check_ret describe none
check_ret load_settings '$0x8'
check_ret save_settings '$0x4'

[ "$fail" -eq 0 ] && echo "binary: 1 passed, 0 failed" || echo "binary: 0 passed, 1 failed"
exit "$fail"
