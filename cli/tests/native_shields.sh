#!/usr/bin/env bash
# bxcli shields status over a 64-bit machine's registry and a mapped C:
# drive: a changed home page and a changed machine search page are reported
# (exit 1), the Run keys of both views and the Startup folder list what they
# hold, nothing is written, and once the pages are back the audit is clean.
set -euo pipefail
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
reg="$dir/s.reg"
fail() { echo "FAIL: $*" >&2; exit 1; }
json() { python3 -c "import json,sys; d=json.load(open(sys.argv[1])); print($2)" "$1"; }
mkdir -p "$dir/c/Users/user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Startup"
echo '[InternetShortcut]' >"$dir/c/Users/user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Startup/Notes.lnk"

cat >"$reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\Main]
"Start Page"="http://evil.example/"
"Search Page"="http://search.example/"
"Local Page"="\\blank.htm"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Internet Explorer\Main]
"Search Page"="http://machine.example/"

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run]
"Mine"="C:\\mine.exe"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Run]

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Run]
"Old"="C:\\old32.exe /tray"
REG
cli() { "$BXCLI" --drive "C=$dir/c" --registry "$reg" "$@"; }
cli --save-registry "$reg" settings defaults >/dev/null
cli --save-registry "$reg" settings set hmpg http://mine.example/
cli --save-registry "$reg" settings set srchpge http://search.example/
cli --save-registry "$reg" settings set strupshld 1
cli --save-registry "$reg" settings set hnt 0
# untouched: the registry saved by a command that writes nothing.
untouched() { cli --save-registry "$dir/untouched.reg" settings get pv >/dev/null; }

untouched
status=0
cli --save-registry "$dir/audited.reg" shields status --json >"$dir/status.json" || status=$?
[ "$status" = 1 ] || fail "exit $status with a changed home page"
cmp -s "$dir/untouched.reg" "$dir/audited.reg" || fail "the audit wrote to the registry"
[ "$(json "$dir/status.json" "d['shieldsActive'], d['switches']['ghmpg'], d['switches']['hnt'], d['changed']")" = \
    "True True False 2" ] || fail "switches: $(head -20 "$dir/status.json")"
python3 - "$dir/status.json" <<'PY' || fail "places: $(cat "$dir/status.json")"
import json, sys
d = json.load(open(sys.argv[1]))
places = {p['place']: p for p in d['places']}
def get(path):
    return places[path]
hkcu = 'HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Main\\'
hklm = 'HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Internet Explorer\\Main\\'
start = get(hkcu + 'Start Page')
assert start['shield'] == 'ghmpg' and start['watched'] and not start['matches'], start
assert start['now'] == ['http://evil.example/'] and start['baseline'] == ['http://mine.example/'], start
assert get(hkcu + 'Search Page')['matches']
machine = get(hklm + 'Search Page')
assert machine['shield'] == 'iehj' and not machine['matches'], machine
assert machine['baseline'] == ['http://search.example/'], machine
assert hklm + 'Start Page' not in places
run32 = get('HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run')
assert run32['shield'] == 'strupshld' and run32['now'] == ['C:\\old32.exe /tray'] and run32['matches'], run32
assert get('HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run')['now'] == ['C:\\mine.exe']
folder = [p for p in d['places'] if p['place'].endswith('\\Programs\\Startup') and 'Roaming' in p['place']]
assert len(folder) == 1 and folder[0]['now'] == [folder[0]['place'] + '\\Notes.lnk'], folder
PY

cli shields status >"$dir/status.txt" || true
grep -qF 'IE Home Page Shield (ghmpg): on' "$dir/status.txt" || fail "text: $(cat "$dir/status.txt")"
grep -qP '^ghmpg\tHKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Main\\Start Page\tchanged$' "$dir/status.txt" ||
    fail "text: $(cat "$dir/status.txt")"
grep -qxF '	now: http://evil.example/' "$dir/status.txt" || fail "no current page in $(cat "$dir/status.txt")"
grep -qxF 'Watched places changed: 2' "$dir/status.txt" || fail "count in $(cat "$dir/status.txt")"

# With the home page shield off its place is no longer kept; the machine's
# search page back as the user's: nothing left to report.
# A 32-bit view without its Run key: the audit does not make one.
sed -i '/^\[HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft/,/^"Old"/d' "$reg"
echo '[HKEY_LOCAL_MACHINE\Software\Wow6432Node]' >>"$reg"
untouched
cli --save-registry "$dir/audited.reg" shields status >/dev/null || true
cmp -s "$dir/untouched.reg" "$dir/audited.reg" || fail "the audit made the 32-bit Run key"

cli --save-registry "$reg" settings set ghmpg 0
sed -i 's|"Search Page"="http://machine.example/"|"Search Page"="http://search.example/"|' "$reg"
cli shields status >"$dir/clean.txt" || fail "exit $? once the pages are kept: $(cat "$dir/clean.txt")"
grep -qP '^ghmpg\t.*\\Start Page\tmatches$' "$dir/clean.txt" || fail "$(cat "$dir/clean.txt")"
grep -qxF 'Watched places changed: 0' "$dir/clean.txt" || fail "$(cat "$dir/clean.txt")"
echo PASS
