#!/usr/bin/env bash
# bxcli.exe scan --full in a prefix with planted traces: the registry,
# cookies, listed files and cache as in the smart scan, then every file of
# the fixed drive by content and name; never a folder, never a known
# location.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/scan_plant.sh"
bin=$(dirname "$1")
e2e_new_prefix "$1" "$bin/brindlex4_010907.bx"

scan_folders
scan_plant_registry
scan_plant_files
{
    scan_expect_registry
    # The listed folders by content with the whole index, then the drive walk.
    cat <<ROWS
15	File	Severe	Wrenlog Keystroke Recorder	$sysdir\\wlsvc32.exe
15	File	Severe	Snavrel	$sysdir\\qq.dll
15	File	Severe	Zarnbee Downloader	$windir\\zz.exe
16	File	Severe	Larkspin Downloader	$desktop\\Downloads\\x.bin
16	File	Dangerous	Tollvane Toolbar	$desktop\\desk.zip->tvbar.bin
16	File	Dangerous	Pellwick Tray Notifier	C:\\Tools\\pw.exe
16	File	Dangerous	Vintrel Media Server	C:\\Tools\\vsrv.exe
16	File	Not Critical	Rookvane Popunder	C:\\Games\\rookvane.exe
16	File	Not Critical	Jaskiff Lottery Popups	C:\\Games\\Deep\\jaskiff.exe
ROWS
} >"$E2E_DIR/expected.txt"

# "scantype" is absent: 0, the full scan.
scan_run "$E2E_DIR/full.txt" scan --zip --progress
[ "$status" = 1 ] || e2e_fail "full scan: exit $status: $(tail -n 5 "$E2E_DIR/full.txt.err")"
scan_check_rows "$E2E_DIR/full.txt" "$E2E_DIR/expected.txt" || e2e_fail "full scan rows"
tr -d '\r' <"$E2E_DIR/full.txt.err" >"$E2E_DIR/progress.txt"
grep -q '^Scanning Known Spyware Locations' "$E2E_DIR/progress.txt" && e2e_fail "full scan checked known locations"
grep -qF 'Deep Scan : C:\Games\Deep\jaskiff.exe' "$E2E_DIR/progress.txt" || e2e_fail "no deep scan"
grep -qF "Scanning in zip file : $desktop\\desk.zip -> tvbar.bin" "$E2E_DIR/progress.txt" ||
    e2e_fail "archive not opened"

# Ctrl+C stops the walk: the console control handler asks the scan to stop,
# the rows so far are reported as aborted and --zip is taken back. The test
# reads one progress line before it interrupts, and the pipe holds far fewer
# lines than the folder has files, so the scan is surely still running.
mkdir -p "$WINEPREFIX/drive_c/Many"
python3 -c '
import os, sys
for i in range(5000):
    open(os.path.join(sys.argv[1], "f%05d.bin" % i), "w").write("x" * (i % 50))
' "$WINEPREFIX/drive_c/Many"
python3 - "$WINE" <<'PY' || e2e_fail "Ctrl+C"
import json, signal, subprocess, sys
p = subprocess.Popen([sys.argv[1], "C:\\Program Files\\Brindlex\\bxcli.exe", "scan", "--full", "--zip",
                      "--json", "--progress"], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
assert p.stderr.readline(), "no progress"
p.send_signal(signal.SIGINT)
rest = p.stderr.read()
out = p.stdout.read()
status = p.wait()
result = json.loads(out)
assert list(result) == ["scanType", "scanned", "aborted", "rows"], result
assert result["aborted"] is True and result["scanType"] == "full", result
walked = rest.count(b"Deep Scan : C:\\Many\\")
assert walked < 5000, walked
assert status == (1 if result["rows"] else 0), status
PY
$WINE reg query 'HKCU\Software\Brindlex5' /v zipfiles >/dev/null 2>&1 && e2e_fail "zipfiles left behind by Ctrl+C"
echo PASS
