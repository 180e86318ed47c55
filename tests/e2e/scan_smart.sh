#!/usr/bin/env bash
# bxcli.exe scan --smart in a prefix with planted traces: every step of the
# smart scan finds its trace, and the rows come in the order of the steps;
# --reference scans with another Reference file.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/scan_plant.sh"
bin=$(dirname "$1")
e2e_new_prefix "$1" "$bin/brindlex4_010907.bx"

# A clean prefix has nothing to report.
scan_run "$E2E_DIR/clean.txt" scan --smart
[ "$status" = 0 ] || e2e_fail "clean prefix: exit $status: $(cat "$E2E_DIR/clean.txt" "$E2E_DIR/clean.txt.err")"
grep -Eqx 'Scan Complete: [1-9][0-9]* checked, 0 found' "$E2E_DIR/clean.txt" ||
    e2e_fail "clean prefix: $(cat "$E2E_DIR/clean.txt")"

scan_folders
scan_plant_registry
scan_plant_files
{
    scan_expect_registry
    cat <<ROWS
15	Directory	Dangerous	Tollvane Toolbar	C:\\Program Files\\Tollvane
16	File	Severe	Wrenlog Keystroke Recorder	$sysdir\\wlsvc32.exe
17	File	Severe	Larkspin Downloader	$desktop\\Downloads\\x.bin
17	File	Dangerous	Tollvane Toolbar	$desktop\\desk.zip->tvbar.bin
18	File	Dangerous	Pellwick Tray Notifier	C:\\Tools\\pw.exe
19	File	Dangerous	Vintrel Media Server	C:\\Tools\\vsrv.exe
20	File	Severe	Zarnbee Downloader	$windir\\zz.exe
21	File	Severe	Snavrel	$sysdir\\qq.dll
22	File	Not Critical	Rookvane Popunder	C:\\Games\\rookvane.exe
22	File	Not Critical	Jaskiff Lottery Popups	C:\\Games\\Deep\\jaskiff.exe
ROWS
} >"$E2E_DIR/expected.txt"

# "scantype" 1 chooses the smart scan without an option; --zip opens the
# archive on the desktop for this run only.
$WINE reg add 'HKCU\Software\Brindlex5' /v scantype /t REG_DWORD /d 1 /f >/dev/null 2>&1
scan_run "$E2E_DIR/smart.txt" scan --zip
[ "$status" = 1 ] || e2e_fail "smart scan: exit $status: $(cat "$E2E_DIR/smart.txt.err")"
scan_check_rows "$E2E_DIR/smart.txt" "$E2E_DIR/expected.txt" || e2e_fail "smart scan rows"
$WINE reg query 'HKCU\Software\Brindlex5' /v zipfiles >/dev/null 2>&1 && e2e_fail "zipfiles left behind"

# The same scan as JSON, without the archive.
scan_run "$E2E_DIR/smart.json" scan --smart --json
[ "$status" = 1 ] || e2e_fail "smart --json: exit $status"
python3 - "$E2E_DIR/smart.json" "$E2E_DIR/expected.txt" <<'PY'
import json, sys
result = json.load(open(sys.argv[1]))
expected = [line.split("\t")[1:] for line in open(sys.argv[2]).read().splitlines()]
expected = [row for row in expected if "desk.zip" not in row[3]]
assert result["scanType"] == "smart" and result["aborted"] is False, result
got = [[r["type"], r["danger"], r["item"], r["location"]] for r in result["rows"]]
assert sorted(got) == sorted(expected), (got, expected)
md5 = {r["location"].rsplit("\\", 1)[-1]: r["md5"] for r in result["rows"]}
assert md5["x.bin"] == "99B79FA4579346F4279008433A834818", md5
assert md5["krelldial.exe"] == "", md5
PY

# --reference: another Reference file for this run; "rfp" stays as it was.
printf '<BX TOTAL="1"><SW NAME="Krelldial"><FILES><FILE NAME="krelldial.exe" PATH=":WinDir:" /></FILES><DANGER_LEVEL>1</DANGER_LEVEL><DESCRIPTION>x</DESCRIPTION></SW></BX>' \
    >"$WINEPREFIX/drive_c/own.xml"
e2e_run bxcli.exe db pack 'C:\own.xml' 'C:\own.bx' >/dev/null || e2e_fail "db pack"
$WINE reg add 'HKCU\Software\Brindlex5' /v rfp /d 'C:\absent.bx' /f >/dev/null 2>&1
scan_run "$E2E_DIR/own.json" --reference 'C:\own.bx' scan --smart --json
[ "$status" = 1 ] || e2e_fail "--reference: exit $status: $(cat "$E2E_DIR/own.json.err")"
python3 -c 'import json,sys; r=json.load(open(sys.argv[1]))["rows"]; assert [x["item"] for x in r]==["Krelldial"], r' \
    "$E2E_DIR/own.json" || e2e_fail "--reference rows"
$WINE reg query 'HKCU\Software\Brindlex5' /v rfp 2>/dev/null | grep -q 'C:\\absent.bx' ||
    e2e_fail "rfp changed"
scan_run "$E2E_DIR/missing.txt" --reference 'C:\nothing.bx' scan --smart
[ "$status" = 2 ] && grep -q 'nothing.bx' "$E2E_DIR/missing.txt.err" ||
    e2e_fail "missing --reference: exit $status: $(cat "$E2E_DIR/missing.txt.err")"
echo PASS
