#!/usr/bin/env bash
# The native bxcli writes the default table into a .reg file and reads it
# back, with the same values bxcli.exe writes into the Windows registry.
set -euo pipefail
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
reg="$dir/s.reg"
fail() { echo "FAIL: $*" >&2; exit 1; }

"$BXCLI" --registry "$reg" --save-registry "$reg" settings defaults >"$dir/out.txt"
grep -q "Wrote 32 default settings" "$dir/out.txt" || fail "$(cat "$dir/out.txt")"
head -n 1 "$reg" | grep -q REGEDIT4 || fail "no REGEDIT4 header"
grep -q '^\[HKEY_CURRENT_USER\\Software\\Brindlex5\]' "$reg" || fail "no settings key"
exe_dir=$(dirname "$(readlink -f "$BXCLI")" | sed 's|/|\\\\|g')
for expected in '"pv"="5.0"' '"df"="brindlex4_010907.bx"' '"scantype"=dword:00000001' \
    '"Schedule Scan"="0"' '"firstrun"="0"' '"srchpge"="https://search.brindlex.invalid/"' \
    "\"rfp\"=\"Z:${exe_dir}\\\\brindlex4_010907.bx\"" "\"lfp\"=\"Z:${exe_dir}\\\\logs\""; do
    grep -qF "$expected" "$reg" || fail "missing $expected in $(cat "$reg")"
done
[ "$(grep -c '^"' "$reg")" -eq 32 ] || fail "expected 32 values"

[ "$("$BXCLI" --registry "$reg" settings get df)" = brindlex4_010907.bx ] || fail "settings get df"
"$BXCLI" --registry "$reg" --save-registry "$reg" settings set zipfiles 1
grep -qF '"zipfiles"=dword:00000001' "$reg" || fail "settings set zipfiles"
if "$BXCLI" --registry "$reg" settings get nosuchvalue; then fail "absent value found"; fi
if "$BXCLI" --registry "$reg" settings set scantype abc 2>/dev/null; then fail "accepted abc"; fi
"$BXCLI" --registry "$reg" settings list | grep -qx 'zipfiles=1' || fail "settings list"
echo PASS
