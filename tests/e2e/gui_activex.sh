#!/usr/bin/env bash
# ActiveX protection through its two windows over the real registry of a
# fresh prefix, checked with reg.exe in both registry views: Enable writes
# "Compatibility Flags" 0x400 under every class identifier of the shipped
# Reference file; exempting a program in "ActiveX Controls" clears its bits
# and writes "SystemSet" 11; Disable writes 0 everywhere, also under keys
# that were deleted meanwhile. bxcli.exe activex reads back the same.
#   gui_activex.sh ACTIVEX_GUI_TESTS.exe BXCLI.exe
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/gui_lib.sh"
bin=$(dirname "$2")
e2e_new_prefix "$1" "$2" "$bin/brindlex4_010907.bx" "$bin/xblk.bx"
gui_display
shots=${BX_SCREENSHOT_DIR:-$E2E_DIR/shots}
compat='HKLM\Software\Microsoft\Internet Explorer\ActiveX Compatibility'

e2e_run bxcli.exe settings defaults >/dev/null
e2e_run bxcli.exe activex status --json | tr -d '\r' >"$E2E_DIR/before.json"
python3 - "$E2E_DIR/before.json" >"$E2E_DIR/ids.txt" <<'PY'
import json, sys
for item in json.load(open(sys.argv[1]))["classIds"]:
    print(item["classId"])
PY
count=$(wc -l <"$E2E_DIR/ids.txt")
[ "$count" -gt 10 ] || e2e_fail "the Reference file lists $count class identifiers"

# A step of the window test: RealRegistryStep.NAME.
step() {
    local name=$1
    set +e
    BX_ACTIVEX_STEP=$name BX_SCREENSHOT_DIR='C:\shots' gui_run activex_gui_tests.exe \
        --gtest_filter="RealRegistryStep.$name" >"$E2E_DIR/$name.log" 2>&1
    local status=$?
    set -e
    [ "$status" = 0 ] || e2e_fail "step $name: exit $status: $(tail -30 "$E2E_DIR/$name.log")"
    grep -q '\[  PASSED  \] 1 test' "$E2E_DIR/$name.log" ||
        e2e_fail "step $name did not run: $(tail -20 "$E2E_DIR/$name.log")"
}

# What reg.exe shows in both views, one line per identifier and value:
# "VIEW CLSID VALUE DATA".
read_views() {
    local view
    for view in 64 32; do
        $WINE reg query "$compat" /s "/reg:$view" 2>/dev/null | tr -d '\r' |
            awk -v view="$view" '
                /^HKEY_/ { n = split($0, parts, "\\"); key = parts[n]; next }
                /REG_DWORD/ { data = $NF; sub(/^ +/, ""); sub(/ +REG_DWORD +[^ ]+$/, "");
                              print view, key, $0 "=" data }'
    done >"$E2E_DIR/$1.txt"
}

# Every identifier in both views has VALUE=DATA, except those named after.
expect_all() {  # expect_all SNAPSHOT VALUE=DATA [EXCEPT...]
    local snapshot=$1 pair=$2 id view
    shift 2
    while read -r id; do
        case " $* " in *" $id "*) continue ;; esac
        for view in 64 32; do
            grep -qxF "$view $id $pair" "$E2E_DIR/$snapshot.txt" ||
                e2e_fail "$snapshot: $view-bit $id lacks $pair: $(grep -F "$id" "$E2E_DIR/$snapshot.txt")"
        done
    done <"$E2E_DIR/ids.txt"
}

step Enable
read_views enabled
expect_all enabled 'Compatibility Flags=0x400'
[ "$(e2e_run bxcli.exe settings get acbl | tr -d '\r')" = 1 ] || e2e_fail "acbl not 1"

# Snavrel's identifier is in the block list and the Reference file.
snavrel='{A5B9FB8D-7C9B-4A69-854D-CDC2FB8C647E}'
grep -qxF "$snavrel" "$E2E_DIR/ids.txt" || e2e_fail "Snavrel is not in the Reference file"
BX_ACTIVEX_PROGRAM=Snavrel step Exempt
read_views exempted
for view in 64 32; do
    for pair in 'Compatibility Flags=0x0' 'SystemSet=0xb'; do
        grep -qxF "$view $snavrel $pair" "$E2E_DIR/exempted.txt" ||
            e2e_fail "exempted: $view-bit $snavrel lacks $pair"
    done
done
expect_all exempted 'Compatibility Flags=0x400' "$snavrel"

# Keys deleted meanwhile are made again, with the bit cleared.
gone=$(sed -n 2p "$E2E_DIR/ids.txt")
$WINE reg delete "$compat\\$gone" /f /reg:64 >/dev/null 2>&1
$WINE reg delete "$compat\\$gone" /f /reg:32 >/dev/null 2>&1
read_views deleted
if grep -qF "$gone" "$E2E_DIR/deleted.txt"; then e2e_fail "$gone was not deleted"; fi
step Disable
read_views disabled
expect_all disabled 'Compatibility Flags=0x0'
[ "$(e2e_run bxcli.exe settings get acbl | tr -d '\r')" = 0 ] || e2e_fail "acbl not 0"

# The console sees the same: nothing blocked, Snavrel still exempted.
e2e_run bxcli.exe activex status --json | tr -d '\r' >"$E2E_DIR/after.json"
python3 - "$E2E_DIR/after.json" "$count" <<'PY' || e2e_fail "bxcli activex status: $(head -c 600 "$E2E_DIR/after.json")"
import json, sys
status = json.load(open(sys.argv[1]))
assert status["views"] == ["64-bit", "32-bit"], status["views"]
assert (status["blocked"], status["exempted"], status["allowed"]) == (0, 1, int(sys.argv[2]) - 1)
assert status["protection"] is False
PY
e2e_run bxcli.exe activex enable | tr -d '\r' >"$E2E_DIR/cli_enable.txt"
grep -qx "Kill bits set for $((count - 1)) class identifiers (1 exempted or not class identifiers, left alone)" \
    "$E2E_DIR/cli_enable.txt" || e2e_fail "bxcli activex enable: $(cat "$E2E_DIR/cli_enable.txt")"
read_views cli
expect_all cli 'Compatibility Flags=0x400' "$snavrel"

mkdir -p "$shots"
cp "$WINEPREFIX"/drive_c/shots/*.png "$shots/" 2>/dev/null || true
echo "$count class identifiers in both views: enabled, $snavrel exempted, disabled, enabled again by bxcli"
echo PASS
