#!/usr/bin/env bash
# bxcli scan over a mapped Windows tree and a .reg registry: traces of the
# shipped Reference file's programs, planted one per scan step, come back as
# rows in step order; exit statuses, JSON, the scan log, temporary settings
# and Ctrl+C.
set -euo pipefail
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
drive="$dir/c"
reg="$dir/system.reg"
sample() { printf 'brindlex-sample:%s' "$1"; }
plant() {  # plant 'C:\Windows\x.exe' CONTENT
    local path="$drive/$(printf '%s' "${1#C:\\}" | tr '\\' '/')"
    mkdir -p "$(dirname "$path")"
    printf '%s' "$2" >"$path"
}

cat >"$reg" <<'EOF'
REGEDIT4

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders]
"Desktop"="C:\\Users\\user\\Desktop"
"AppData"="C:\\Users\\user\\AppData\\Roaming"
"Personal"="C:\\Users\\user\\Documents"
"Cache"="C:\\Users\\user\\AppData\\Local\\Microsoft\\Windows\\INetCache"

[HKEY_CURRENT_USER\Software\Brindlex5]
"lfp"="C:\\Logs"

[HKEY_CURRENT_USER\Software\Fennigle]

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\SharedAccess\Parameters\FirewallPolicy\StandardProfile]
"EnableFirewall"=dword:00000000

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run]
"Pellwick"="C:\\Tools\\pw.exe"

[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\Main]
"Start Page"="http://www.umberlook.example/start"
EOF
mkdir -p "$drive/Windows/System32" "$drive/Users/user/Desktop"
plant 'C:\Users\user\AppData\Roaming\Microsoft\Windows\Cookies\user@adtrakkle[1].txt' cookie
plant 'C:\Users\user\AppData\Roaming\Microsoft\Windows\Cookies\user@unlisted.example[1].txt' cookie
plant 'C:\Windows\krelldial.exe' listed
plant 'C:\Users\user\AppData\Local\Microsoft\Windows\INetCache\X7\fenniglesetup[1].cab' cached
mkdir -p "$drive/Program Files/Tollvane"
plant 'C:\Windows\System32\renamed.exe' "$(sample wrenlog-keylogger)"
plant 'C:\Users\user\Desktop\Stuff\x.bin' "$(sample larkspin-polymorph)"
plant 'C:\Tools\pw.exe' "$(sample pellwick-run-hkcu)"
plant 'C:\Windows\zz.exe' "$(sample zarnbee-runonce-hklm)"
plant 'C:\Games\rookvane.exe' name-only

run() { "$BXCLI" --drive "C=$drive" --registry "$reg" "$@"; }
# Runs a command and keeps its exit status in $status.
st() { set +e; "$@"; status=$?; set -e; }

# Smart scan: one row per trace, in the order of the scan's steps.
st run scan --smart >"$dir/smart.txt"
[ "$status" = 1 ] || fail "smart scan exit $status"
cat >"$dir/expected.txt" <<'EOF'
RegKey	Dangerous	Fennigle Smileys	HKEY_CURRENT_USER\Software\Fennigle
RegValueData	Severe	Frostmote Remote Admin	HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\SharedAccess\Parameters\FirewallPolicy\StandardProfile (Value : EnableFirewall) (Data : 0)
RegValue	Dangerous	Pellwick Tray Notifier	HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run\Pellwick
RegValueData	Dangerous	Umberlook Homepage Hijacker	HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\Main (Value : Start Page) (Data : http://www.umberlook.example/start)
Cookie	Not Critical	Adtrakkle	C:\Users\user\AppData\Roaming\Microsoft\Windows\Cookies\user@adtrakkle[1].txt
File	Severe	Krelldial	C:\Windows\krelldial.exe
File	Dangerous	Fennigle Smileys	C:\Users\user\AppData\Local\Microsoft\Windows\INetCache\X7\fenniglesetup[1].cab
Directory	Dangerous	Tollvane Toolbar	C:\Program Files\Tollvane
File	Severe	Wrenlog Keystroke Recorder	C:\Windows\System32\renamed.exe
File	Severe	Larkspin Downloader	C:\Users\user\Desktop\Stuff\x.bin
File	Dangerous	Pellwick Tray Notifier	C:\Tools\pw.exe
File	Severe	Zarnbee Downloader	C:\Windows\zz.exe
File	Not Critical	Rookvane Popunder	C:\Games\rookvane.exe
EOF
head -n -1 "$dir/smart.txt" | diff "$dir/expected.txt" - || fail "smart scan rows"
tail -n 1 "$dir/smart.txt" | grep -Eqx 'Scan Complete: [1-9][0-9]* checked, 13 found' ||
    fail "summary: $(tail -n 1 "$dir/smart.txt")"

# The same as JSON; "scantype" 1 (the default when absent is 0: full) picks the smart scan.
printf '\n[HKEY_CURRENT_USER\\Software\\Brindlex5]\n"scantype"=dword:00000001\n' >>"$reg"
st run scan --json >"$dir/smart.json"
[ "$status" = 1 ] || fail "json exit $status"
python3 - "$dir/smart.json" "$dir/expected.txt" <<'PY'
import json, sys
result = json.load(open(sys.argv[1]))
expected = [line.rstrip("\n").split("\t") for line in open(sys.argv[2])]
assert set(result) == {"scanType", "scanned", "aborted", "rows"}, result.keys()
assert result["scanType"] == "smart" and result["aborted"] is False, result
assert result["scanned"] > len(expected), result["scanned"]
got = [[r["type"], r["danger"], r["item"], r["location"]] for r in result["rows"]]
assert got == expected, got
for r in result["rows"]:
    assert set(r) == {"item", "type", "location", "danger", "md5"}, r
md5 = {r["location"]: r["md5"] for r in result["rows"]}
assert md5["C:\\Windows\\System32\\renamed.exe"] == "CE02F2259274EBF351B7183B2270308E", md5
assert md5["C:\\Windows\\krelldial.exe"] == "" and md5["HKEY_CURRENT_USER\\Software\\Fennigle"] == ""
PY

# Full scan: no folders, no known locations, but every fixed drive walked, so
# the same files turn up by content and name wherever they lie.
st run scan --full >"$dir/full.txt"
[ "$status" = 1 ] || fail "full scan exit $status"
grep -q "^Directory" "$dir/full.txt" && fail "full scan reported a directory"
head -n 7 "$dir/full.txt" | diff <(grep -v '^Directory' "$dir/expected.txt" | head -n 7) - ||
    fail "full scan start"
for location in 'C:\Windows\System32\renamed.exe' 'C:\Users\user\Desktop\Stuff\x.bin' \
    'C:\Tools\pw.exe' 'C:\Windows\zz.exe' 'C:\Games\rookvane.exe'; do
    [ "$(grep -cF "	$location" "$dir/full.txt")" = 1 ] || fail "full scan: $location not once"
done
tail -n 1 "$dir/full.txt" | grep -Eqx 'Scan Complete: [1-9][0-9]* checked, 12 found' ||
    fail "full summary: $(tail -n 1 "$dir/full.txt")"

# Folder scan: subfolders and zip archives only when asked, and the settings
# are put back afterwards.
plant 'C:\Scan\a.bin' "$(sample tollvane-toolbar)"
plant 'C:\Scan\Sub\b.bin' "$(sample tollvane-toolbar)"
plant 'C:\Scan\other.txt' "nothing"
(cd "$dir" && printf '%s' "$(sample snavrel-bho)" >member.dll && zip -q "$drive/Scan/pack.zip" member.dll)
folder_rows() { run --save-registry "$dir/after.reg" scan --folder 'C:\Scan' "$@" | head -n -1 | cut -f 3,4; }
[ "$(folder_rows)" = "Tollvane Toolbar	C:\Scan\a.bin" ] || fail "flat folder scan: $(folder_rows)"
grep -qi '"sbfolders"\|"zipfiles"' "$dir/after.reg" && fail "settings left behind"
[ "$(folder_rows --subfolders | sort)" = "$(printf 'Tollvane Toolbar\tC:\\Scan\\Sub\\b.bin\nTollvane Toolbar\tC:\\Scan\\a.bin')" ] ||
    fail "folder scan with subfolders: $(folder_rows --subfolders)"
[ "$(folder_rows --zip | sort)" = "$(printf 'Snavrel\tC:\\Scan\\pack.zip->member.dll\nTollvane Toolbar\tC:\\Scan\\a.bin')" ] ||
    fail "folder scan with zip: $(folder_rows --zip)"
grep -qi '"sbfolders"\|"zipfiles"' "$dir/after.reg" && fail "settings left behind"
# Stored settings apply when no option is given, and stay as they were.
printf '\n[HKEY_CURRENT_USER\\Software\\Brindlex5]\n"sbfolders"=dword:00000001\n"zipfiles"=dword:00000000\n' >>"$reg"
[ "$(folder_rows | wc -l)" = 2 ] || fail "stored sbfolders ignored"
[ "$(folder_rows --zip | wc -l)" = 3 ] || fail "--zip with stored settings"
grep -q '"zipfiles"=dword:00000000' "$dir/after.reg" || fail "zipfiles not restored"
st run scan --folder 'C:\Scan' --json >"$dir/folder.json"
[ "$status" = 1 ] || fail "folder scan exit $status"
python3 -c '
import json, sys
r = json.load(open(sys.argv[1]))
assert r["scanType"] == "folder" and len(r["rows"]) == 2, r' "$dir/folder.json"

# A user who moved the cookies: "User Shell Folders" (expanded with the
# user's variables) says where they are, ahead of "Shell Folders" and the
# default place.
moved=$(printf '%%USERPROFILE%%\\Moved Cookies' | od -An -tx1 | tr -s ' \n' ',' | sed 's/^,//')
cat "$reg" - >"$dir/moved.reg" <<EOF

[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]
"Cookies"="C:\\\\Users\\\\user\\\\Stale Cookies"

[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders]
"Cookies"=hex(2):${moved}00
EOF
plant 'C:\Users\user\Moved Cookies\user@adtrakkle[2].txt' cookie
plant 'C:\Users\user\Stale Cookies\user@adtrakkle[3].txt' cookie
st "$BXCLI" --drive "C=$drive" --registry "$dir/moved.reg" scan --smart >"$dir/moved.txt"
[ "$status" = 1 ] || fail "moved cookies exit $status"
[ "$(grep '^Cookie' "$dir/moved.txt" | cut -f 4)" = 'C:\Users\user\Moved Cookies\user@adtrakkle[2].txt' ] ||
    fail "moved cookies: $(grep '^Cookie' "$dir/moved.txt")"
rm -rf "$drive/Users/user/Moved Cookies" "$drive/Users/user/Stale Cookies"

# Nothing found: exit 0 and an empty list.
mkdir -p "$dir/clean/Windows/System32"
st "$BXCLI" --drive "C=$dir/clean" scan --smart >"$dir/clean.txt"
[ "$status" = 0 ] || fail "clean exit $status"
grep -Eqx 'Scan Complete: [1-9][0-9]* checked, 0 found' "$dir/clean.txt" || fail "clean: $(cat "$dir/clean.txt")"
st run scan --folder 'C:\NoSuchFolder' 2>"$dir/err.txt"
[ "$status" = 2 ] || fail "missing folder exit $status"

# The scan log, written as the window writes it.
run scan --smart --log >/dev/null 2>"$dir/err.txt" || true
log=$(find "$drive/Logs/ScanLogs" -name 'ScanLogDate(*) Time(*).txt')
[ "$(echo "$log" | wc -l)" = 1 ] && [ -n "$log" ] || fail "no scan log: $(cat "$dir/err.txt")"
head -c 42 "$log" | cmp -s - <(printf 'Brindlex v5.0 --------------------------\r\n') || fail "log header"
grep -q $'^Spyware Name = Wrenlog Keystroke Recorder\r$' "$log" || fail "log record"
grep -q $'^ MD5=CE02F2259274EBF351B7183B2270308E\r$' "$log" || fail "log md5 line"
[ "$(grep -c '^Spyware Name = ' "$log")" = 13 ] || fail "log records"

# A missing or damaged Reference file is an error with the reason.
printf '\n[HKEY_CURRENT_USER\\Software\\Brindlex5]\n"rfp"="C:\\\\absent.bx"\n' >"$dir/absent.reg"
cat "$reg" "$dir/absent.reg" >"$dir/r2.reg"
st "$BXCLI" --drive "C=$drive" --registry "$dir/r2.reg" scan 2>"$dir/err.txt"
[ "$status" = 2 ] || fail "missing reference exit $status"
grep -q 'absent.bx' "$dir/err.txt" || fail "missing reference message: $(cat "$dir/err.txt")"
printf '<BX TOTAL="1"><A><B></A></BX>' >"$dir/broken.xml"
"$BXCLI" db unpack "$dir/broken.xml" "$drive/broken.bx"  # scrambling is its own inverse
sed 's/absent\.bx/broken.bx/' "$dir/r2.reg" >"$dir/r3.reg"
st "$BXCLI" --drive "C=$drive" --registry "$dir/r3.reg" scan 2>"$dir/err.txt"
[ "$status" = 2 ] || fail "damaged reference exit $status"
grep -q "End tag does not correspond to B" "$dir/err.txt" || fail "damaged file: $(cat "$dir/err.txt")"

# --reference: another Reference file for one run; "rfp" (here a missing
# file) is neither used nor changed. Missing or damaged: exit 2, the reason.
cat >"$dir/own.xml" <<'XML'
<BX TOTAL="1">
  <SW NAME="Krelldial">
    <FILES><FILE NAME="krelldial.exe" PATH=":WinDir:" /></FILES>
    <DANGER_LEVEL>1</DANGER_LEVEL>
    <DESCRIPTION>One file.</DESCRIPTION>
  </SW>
</BX>
XML
"$BXCLI" db pack "$dir/own.xml" "$dir/own.bx" >/dev/null
st "$BXCLI" --drive "C=$drive" --registry "$dir/r2.reg" --save-registry "$dir/r4.reg" \
    --reference "$dir/own.bx" scan --smart --json >"$dir/own.json"
[ "$status" = 1 ] || fail "scan with --reference exit $status"
python3 - "$dir/own.json" <<'PY'
import json, sys
rows = json.load(open(sys.argv[1]))["rows"]
assert [r["item"] for r in rows] == ["Krelldial"], rows
assert rows[0]["location"] == "C:\\Windows\\krelldial.exe", rows
PY
grep -q '"rfp"="C:\\\\absent.bx"' "$dir/r4.reg" || fail "rfp changed: $(grep rfp "$dir/r4.reg")"
st run --reference "$dir/nothing.bx" scan --smart 2>"$dir/err.txt"
[ "$status" = 2 ] || fail "missing --reference exit $status"
grep -q 'nothing.bx' "$dir/err.txt" || fail "missing --reference message: $(cat "$dir/err.txt")"
st run --reference 'C:\broken.bx' db info 2>"$dir/err.txt"
[ "$status" = 2 ] || fail "damaged --reference exit $status"
grep -q "End tag does not correspond to B" "$dir/err.txt" || fail "damaged --reference: $(cat "$dir/err.txt")"

# Ctrl+C: the scan stops, reports what it found so far, and the temporary
# setting is put back. The progress lines go through a pipe the test reads
# one line of before it interrupts, so the scan is surely still running.
mkdir -p "$drive/Many"
python3 -c '
import os, sys
for i in range(5000):
    open(os.path.join(sys.argv[1], "f%05d.bin" % i), "w").write("x" * (i % 50))
' "$drive/Many"
python3 - "$BXCLI" "$drive" "$reg" "$dir/after.reg" <<'PY'
import json, signal, subprocess, sys
bxcli, drive, reg, saved = sys.argv[1:]
p = subprocess.Popen([bxcli, "--drive", "C=" + drive, "--registry", reg, "--save-registry", saved,
                      "scan", "--full", "--zip", "--json", "--progress"],
                     stdout=subprocess.PIPE, stderr=subprocess.PIPE)
first = p.stderr.readline()
assert first, "no progress"
p.send_signal(signal.SIGINT)
rest = p.stderr.read()
out = p.stdout.read()
status = p.wait()
result = json.loads(out)
assert result["aborted"] is True, result
assert result["scanType"] == "full", result
# The pipe holds far fewer lines than the walk has files: the walk stopped.
walked = rest.count(b"Deep Scan : C:\\Many\\")
assert walked < 5000, walked
assert status == (1 if result["rows"] else 0), status
PY
grep -q '"zipfiles"=dword:00000000' "$dir/after.reg" || fail "zipfiles not restored after Ctrl+C"
echo PASS
