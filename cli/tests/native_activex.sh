#!/usr/bin/env bash
# bxcli activex over a 64-bit machine's registry (.reg text with a
# Wow6432Node): enable sets the kill bit of every class identifier of the
# shipped Reference file in both views except an exempted one, disable clears
# them all, status reports each view.
set -euo pipefail
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
reg="$dir/s.reg"
fail() { echo "FAIL: $*" >&2; exit 1; }
json() { python3 -c "import json,sys; d=json.load(open(sys.argv[1])); print($2)" "$1"; }

exempt='{99B09086-84EF-4D68-BE8D-3CD66D8CA237}'
cat >"$reg" <<REG
REGEDIT4

[HKEY_LOCAL_MACHINE\\Software\\Wow6432Node]

[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\$exempt]
"SystemSet"=dword:0000000b
REG
"$BXCLI" --registry "$reg" --save-registry "$reg" settings defaults >/dev/null
count=$(grep -c '<CLSID Key=' "$SOURCE_DIR/data/reference.xml")

"$BXCLI" --registry "$reg" --save-registry "$reg" activex enable --json >"$dir/enable.json"
[ "$(json "$dir/enable.json" "d['written'], d['skipped'], d['failed'], d['protection']")" = \
    "$((count - 1)) 1 0 True" ] || fail "enable: $(cat "$dir/enable.json")"
[ "$(grep -c '"Compatibility Flags"=dword:00000400' "$reg")" -eq $((2 * (count - 1))) ] ||
    fail "expected $((2 * (count - 1))) kill bits in $(cat "$reg")"
grep -q '^\[HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\{A5B9FB8D' "$reg" ||
    fail "no 32-bit view key"

"$BXCLI" --registry "$reg" activex status --json >"$dir/status.json"
[ "$(json "$dir/status.json" "d['views'], d['blocked'], d['exempted'], d['allowed']")" = \
    "['64-bit', '32-bit'] $((count - 1)) 1 0" ] || fail "status: $(head -20 "$dir/status.json")"
"$BXCLI" --registry "$reg" activex status | grep -qF "$exempt	64-bit: exempted	32-bit: no key" ||
    fail "status text"

"$BXCLI" --registry "$reg" --save-registry "$reg" activex disable >"$dir/disable.txt"
grep -qx "Kill bits cleared for $count class identifiers" "$dir/disable.txt" || fail "$(cat "$dir/disable.txt")"
[ "$(grep -c '"Compatibility Flags"=dword:00000000' "$reg")" -eq $((2 * count)) ] ||
    fail "expected $((2 * count)) cleared bits"
[ "$("$BXCLI" --registry "$reg" settings get acbl)" = 0 ] || fail "acbl not 0"
echo PASS
