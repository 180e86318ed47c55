#!/usr/bin/env bash
# bxcli.exe scan --folder: files by content and at their listed place,
# subfolders and zip archives only when asked (for that run only), the scan
# log, and a clean folder.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/scan_plant.sh"
bin=$(dirname "$1")
e2e_new_prefix "$1" "$bin/brindlex4_010907.bx"
e2e_run bxcli.exe settings defaults >/dev/null 2>&1

scan_folders
scan_plant 'C:\ScanMe\a.bin' "$(scan_sample tollvane-toolbar)"
scan_plant 'C:\ScanMe\readme.txt' "nothing"
scan_plant 'C:\ScanMe\Sub\b.bin' "$(scan_sample zindle-dialer)"
scan_zip 'C:\ScanMe\pack.zip' 'inner/m.bin' "$(scan_sample larkspin-polymorph)"
scan_zip 'C:\ScanMe\Sub\deep.zip' 'q.dll' "$(scan_sample quorvex-searchhook)"
a="File	Dangerous	Tollvane Toolbar	C:\\ScanMe\\a.bin"
b="File	Severe	Zindle Dialer	C:\\ScanMe\\Sub\\b.bin"
zipped="File	Severe	Larkspin Downloader	C:\\ScanMe\\pack.zip->inner/m.bin"
deep_zipped="File	Severe	Quorvex Search Hook	C:\\ScanMe\\Sub\\deep.zip->q.dll"

folder_scan() {  # folder_scan EXPECTED-ROWS... -- OPTIONS...
    local expected=() options=()
    while [ "$1" != -- ]; do expected+=("$1"); shift; done
    shift
    options=("$@")
    scan_run "$E2E_DIR/folder.txt" scan --folder 'C:\ScanMe' "${options[@]}"
    [ "$status" = 1 ] || e2e_fail "folder scan ${options[*]}: exit $status $(cat "$E2E_DIR/folder.txt.err")"
    printf '1\t%s\n' "${expected[@]}" >"$E2E_DIR/expected.txt"
    scan_check_rows "$E2E_DIR/folder.txt" "$E2E_DIR/expected.txt" ||
        e2e_fail "folder scan ${options[*]}"
    for setting in sbfolders zipfiles; do
        $WINE reg query 'HKCU\Software\Brindlex5' /v $setting >/dev/null 2>&1 &&
            e2e_fail "$setting left behind by ${options[*]}"
    done
    return 0
}
folder_scan "$a" --
folder_scan "$a" "$b" -- --subfolders
folder_scan "$a" "$zipped" -- --zip
folder_scan "$a" "$b" "$zipped" "$deep_zipped" -- --subfolders --zip --log

# The log of the last scan, in the ScanLogs folder under the configured log
# folder, with the checksum line of each file found.
lfp=$(scan_reg_value 'HKCU\Software\Brindlex5' lfp)
logs=$(scan_unix_path "$lfp\\ScanLogs")
log=$(find "$logs" -name 'ScanLogDate(*) Time(*).txt' | head -n 1)
[ -n "$log" ] || e2e_fail "no scan log in $logs"
python3 - "$log" <<'PY'
import sys
text = open(sys.argv[1], "rb").read().decode()
assert text.startswith("Brindlex v5.0 --------------------------\r\nReference File = "), text[:120]
assert "brindlex4_010907.bx\r\n---------------------------\r\n\r\nSpyware Name = " in text, text[:200]
assert text.count("Spyware Name = ") == 4, text
assert "Location = C:\\ScanMe\\pack.zip->inner/m.bin\r\nType = File\r\n MD5=99B79FA4579346F4279008433A834818\r\n" in text, text
PY

# A folder without traces.
mkdir -p "$(scan_unix_path 'C:\Empty')"
scan_run "$E2E_DIR/empty.txt" scan --folder 'C:\Empty' --subfolders --zip
[ "$status" = 0 ] || e2e_fail "empty folder: exit $status"
grep -qx 'Scan Complete: 0 checked, 0 found' "$E2E_DIR/empty.txt" || e2e_fail "$(cat "$E2E_DIR/empty.txt")"
echo PASS
