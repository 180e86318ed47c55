#!/usr/bin/env bash
# bxcli remove and restore over a mapped Windows tree and a .reg registry:
# every planted trace goes, the log and the backup archive are written, and
# restoring the archive brings files, cookies and registry keys back.
set -euo pipefail
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
drive="$dir/c"
reg="$dir/system.reg"
host() { printf '%s/%s' "$drive" "$(printf '%s' "${1#C:\\}" | tr '\\' '/')"; }
plant() {  # plant 'C:\Windows\x.exe' CONTENT
    local path
    path=$(host "$1")
    mkdir -p "$(dirname "$path")"
    printf '%s' "$2" >"$path"
}

cat >"$reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders]
"Desktop"="C:\\Users\\user\\Desktop"
"AppData"="C:\\Users\\user\\AppData\\Roaming"
"Personal"="C:\\Users\\user\\Documents"
"Cache"="C:\\Users\\user\\AppData\\Local\\Microsoft\\Windows\\INetCache"

[HKEY_CURRENT_USER\Software\Brindlex5]
"lfp"="C:\\Logs"
"abrs"="1"

[HKEY_CURRENT_USER\Software\Fennigle]
"Installed"="yes"

[HKEY_CURRENT_USER\Software\Fennigle\Parts]
"Count"=dword:00000003

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run]
"Pellwick"="C:\\Tools\\pw.exe"
"Keep"="C:\\Tools\\keep.exe"

[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\Main]
"Start Page"="http://www.umberlook.example/start"
REG
mkdir -p "$drive/Windows/System32" "$drive/Users/user/Desktop" "$drive/Temp" "$drive/Logs" \
    "$drive/Brindlex"
cp "$REFERENCE" "$drive/Brindlex/"
plant 'C:\Users\user\AppData\Roaming\Microsoft\Windows\Cookies\user@adtrakkle[1].txt' cookie-one
plant 'C:\Users\user\AppData\Roaming\Microsoft\Windows\Cookies\user@adtrakkle[2].txt' cookie-two
plant 'C:\Users\user\AppData\Roaming\Microsoft\Windows\Cookies\user@unlisted.example[1].txt' other
plant 'C:\Windows\krelldial.exe' listed
chmod a-w "$(host 'C:\Windows\krelldial.exe')"
mkdir -p "$drive/Program Files/Tollvane/cache/old"
plant 'C:\Tools\pw.exe' "$(printf 'brindlex-sample:%s' pellwick-run-hkcu)"
plant 'C:\Tools\keep.exe' keep

run() {
    "$BXCLI" --drive "C=$drive" --registry "$reg" --save-registry "$reg" --env 'TEMP=C:\Temp' \
        --program 'C:\Brindlex\bxcli.exe' "$@"
}
st() { set +e; "$@"; status=$?; set -e; }

st run remove --smart --backup --yes >"$dir/remove.txt" 2>"$dir/remove.err"
[ "$status" = 0 ] || { cat "$dir/remove.txt" "$dir/remove.err"; fail "remove exit $status"; }
grep -q '^Selected Items have been removed from your computer successfully.$' "$dir/remove.err" ||
    fail "no success message"
for trace in 'C:\Windows\krelldial.exe' 'C:\Tools\pw.exe' 'C:\Program Files\Tollvane' \
    'C:\Users\user\AppData\Roaming\Microsoft\Windows\Cookies\user@adtrakkle[1].txt' \
    'C:\Users\user\AppData\Roaming\Microsoft\Windows\Cookies\user@adtrakkle[2].txt'; do
    [ ! -e "$(host "$trace")" ] || fail "still there: $trace"
done
for kept in 'C:\Tools\keep.exe' \
    'C:\Users\user\AppData\Roaming\Microsoft\Windows\Cookies\user@unlisted.example[1].txt'; do
    [ -e "$(host "$kept")" ] || fail "removed what was not found: $kept"
done
! grep -q 'Fennigle' "$reg" || fail "the Fennigle key is still there"
! grep -q '"Pellwick"' "$reg" || fail "the Run value is still there"
grep -q '"Keep"="C:\\\\Tools\\\\keep.exe"' "$reg" || fail "a neighbouring value went"
grep -q '"Start Page"="about:blank"' "$reg" || fail "the start page was not fixed"

# The log, named in the output, holds the steps of the removal.
log_path=$(sed -n 's/^Removal log: //p' "$dir/remove.txt")
[ -n "$log_path" ] || fail "no log path printed"
log=$(host "$log_path")
[ -f "$log" ] || fail "log missing: $log_path"
grep -q '^\[Key Deleted\]' "$log" || fail "log: key"
grep -q '^\[Fixed Value Data\]' "$log" || fail "log: value data"
grep -q '^\[File Deleted\]' "$log" || fail "log: file"
grep -q '^\[Deleted Cookie\]' "$log" || fail "log: cookie"
grep -q '^\[Directory Removal\]' "$log" || fail "log: folder"

# The archive opens with Info-ZIP under the backup password.
archive_path=$(sed -n 's/^Backup: //p' "$dir/remove.txt")
[[ "$archive_path" =~ ^C:\\Brindlex\\BrindlexBackup\\[0-9]+,[0-9]+,[0-9]{4}_[0-9]+,[0-9]+,[0-9]+\.zip$ ]] ||
    fail "archive name: $archive_path"
archive=$(host "$archive_path")
if command -v unzip >/dev/null; then
    unzip -Z1 "$archive" >"$dir/members.txt"
    for member in Config.ini krelldial.exe pw.exe 'user@adtrakkle[1].txt' 'user@adtrakkle[2].txt'; do
        grep -qxF "$member" "$dir/members.txt" || fail "member missing: $member"
    done
    grep -q '^RegKeyBackup[0-9-]*\.reg$' "$dir/members.txt" || fail "no registry export"
    unzip -P tindrake_7_vlts -p "$archive" krelldial.exe | grep -qx listed || fail "copy content"
fi

# The backup is listed with its date in the locale's words.
run restore list >"$dir/list.txt"
name=${archive_path##*\\}
grep -qE "^${name//./\\.}	Backup on [0-9]+/[0-9]+/[0-9]{4} - [0-9]+:[0-9]{2}:[0-9]{2} [AP]M$" \
    "$dir/list.txt" || fail "list: $(cat "$dir/list.txt")"
run restore list --json | python3 -c '
import json, sys
backups = json.load(sys.stdin)["backups"]
assert len(backups) == 1 and backups[0]["archive"] == sys.argv[1], backups
' "$name" || fail "list --json"

# Its items, numbered; then everything back.
run restore "$name" >"$dir/items.txt"
grep -qP '^[0-9]+\tFILE\tkrelldial.exe\tC:\\Windows\\?$' "$dir/items.txt" || fail "items: file"
grep -qP '^[0-9]+\tREG\tHKEY_CURRENT_USER\\Software\\Fennigle\t' "$dir/items.txt" ||
    fail "items: key"
st run restore "$name" --item 999 2>/dev/null
[ "$status" = 2 ] || fail "a missing item number exits $status"
st run restore "$name" --all >"$dir/restore.txt"
[ "$status" = 0 ] || fail "restore exit $status: $(cat "$dir/restore.txt")"
grep -q '^Selected Items Restored' "$dir/restore.txt" || fail "restore message"
[ "$(cat "$(host 'C:\Windows\krelldial.exe')")" = listed ] || fail "file not restored"
[ "$(cat "$(host 'C:\Users\user\AppData\Roaming\Microsoft\Windows\Cookies\user@adtrakkle[2].txt')")" = cookie-two ] ||
    fail "cookie not restored"
grep -q '^\[HKEY_CURRENT_USER\\Software\\Fennigle\\Parts\]' "$reg" || fail "key not restored"
grep -q '"Pellwick"="C:\\\\Tools\\\\pw.exe"' "$reg" || fail "value not restored"
[ ! -e "$drive/Brindlex/BrindlexBackup/Temp" ] || fail "scratch folder left behind"

# Nothing found: nothing to remove, and that is not an error.
rm -f "$(host 'C:\Windows\krelldial.exe')" "$(host 'C:\Tools\pw.exe')"
rm -rf "$drive/Users/user/AppData/Roaming/Microsoft/Windows/Cookies"
st run remove --folder 'C:\Tools' </dev/null >"$dir/none.txt" 2>&1
[ "$status" = 0 ] || fail "empty removal exit $status"
grep -q '^No Items to remove$' "$dir/none.txt" || fail "no 'No Items to remove'"
echo "native remove: ok"
