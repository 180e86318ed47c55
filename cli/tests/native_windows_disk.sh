#!/usr/bin/env bash
# bxcli --windows-disk over a Windows tree with real hive files (made here
# from .reg text, through hivex): the scan finds what the .reg form of the
# same registry finds; remove edits the hives and keeps their originals;
# restore brings the values back; damaged hives and --read-only write nothing.
set -euo pipefail
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
st() { set +e; "$@"; status=$?; set -e; }
disk="$dir/disk"
host() { printf '%s/%s' "$disk" "$(printf '%s' "${1#C:\\}" | tr '\\' '/')"; }
plant() {  # plant 'C:\Windows\x.exe' CONTENT
    local path
    path=$(host "$1")
    mkdir -p "$(dirname "$path")"
    printf '%s' "$2" >"$path"
}
hexstr() { printf '%s' "$1" | od -An -tx1 | tr -s ' \n' ',' | sed 's/^,//;s/$/00/'; }
# The values of one key of a hive, and its subkeys, as hivex itself reads them.
values() { printf 'cd %s\nlsval\n' "$2" | hivexsh "$1" 2>&1; }
subkeys() { printf 'cd %s\nls\n' "$2" | hivexsh "$1" 2>&1; }

sid=S-1-5-21-1-2-3-1001
cat >"$dir/full.reg" <<EOF
REGEDIT4

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.txt]
@="txtfile"

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]
"SystemRoot"="C:\\\\Windows"

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]
"ProgramFilesDir"="C:\\\\Program Files"

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList]
"ProgramData"=hex(2):$(hexstr '%SystemDrive%\ProgramData')

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\S-1-5-18]
"ProfileImagePath"=hex(2):$(hexstr '%systemroot%\system32\config\systemprofile')

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\$sid]
"ProfileImagePath"=hex(2):$(hexstr '%SystemDrive%\Users\ann')

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Ebbwatch]
"Version"="2"

[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EbbwatchSvc]
"Start"=dword:00000002

[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\StandardProfile]
"EnableFirewall"=dword:00000000

[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]
"AppData"="C:\\\\Users\\\\ann\\\\AppData\\\\Roaming"
"Cache"="C:\\\\Users\\\\ann\\\\AppData\\\\Local\\\\Microsoft\\\\Windows\\\\INetCache"

[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders]
"Cookies"=hex(2):$(hexstr '%USERPROFILE%\My Cookies')

[HKEY_CURRENT_USER\\Software\\Brindlex5]
"abrs"="1"

[HKEY_CURRENT_USER\\Software\\Fennigle]
"Installed"="yes"

[HKEY_CURRENT_USER\\Software\\Fennigle\\Parts]
"Count"=dword:00000003

[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]
"Pellwick"="C:\\\\Tools\\\\pw.exe"
"Keep"="C:\\\\Tools\\\\keep.exe"

[HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Main]
"Start Page"="http://www.umberlook.example/start"
EOF
# The user's classes live in a hive of their own.
cp "$dir/full.reg" "$dir/base.reg"
printf '\n[HKEY_CURRENT_USER\\Software\\Classes\\ann.document]\n@="Ann%ss documents"\n' "'" >>"$dir/full.reg"
# The hives: SYSTEM keeps its control set under its own name and says which
# one is current.
config="$disk/Windows/System32/config"
mkdir -p "$config" "$disk/Users/ann/AppData/Local/Microsoft/Windows" "$disk/Users/ann/AppData/Local/Temp"
sed 's/\\CurrentControlSet\\/\\ControlSet001\\/' "$dir/full.reg" >"$dir/system.reg"
printf '\n[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\n"Current"=dword:00000001\n' >>"$dir/system.reg"
"$MAKE_HIVE" "$dir/full.reg" 'HKEY_LOCAL_MACHINE\SOFTWARE' "$config/SOFTWARE"
"$MAKE_HIVE" "$dir/system.reg" 'HKEY_LOCAL_MACHINE\SYSTEM' "$config/SYSTEM"
"$MAKE_HIVE" "$dir/base.reg" 'HKEY_CURRENT_USER' "$disk/Users/ann/NTUSER.DAT"
"$MAKE_HIVE" "$dir/full.reg" 'HKEY_CURRENT_USER\Software\Classes' \
    "$disk/Users/ann/AppData/Local/Microsoft/Windows/UsrClass.dat"
subkeys "$disk/Users/ann/NTUSER.DAT" '\Software\Classes' | grep -q ann.document &&
    fail "the user's classes belong in UsrClass.dat"
values "$disk/Users/ann/AppData/Local/Microsoft/Windows/UsrClass.dat" '\ann.document' |
    grep -q "Ann's documents" || fail "UsrClass.dat fixture"

plant 'C:\Users\ann\My Cookies\ann@adtrakkle[1].txt' cookie-one
plant 'C:\Users\ann\AppData\Roaming\Microsoft\Windows\Cookies\ann@adtrakkle[2].txt' stale
plant 'C:\Windows\krelldial.exe' listed
plant 'C:\Tools\pw.exe' "$(printf 'brindlex-sample:%s' pellwick-run-hkcu)"
plant 'C:\Tools\keep.exe' keep
plant 'C:\Users\ann\AppData\Local\Microsoft\Windows\INetCache\X7\fenniglesetup[1].cab' cached
mkdir -p "$dir/prog"
cp "$REFERENCE" "$dir/prog/"
program="Z:$(printf '%s' "$dir/prog" | tr '/' '\\')\\bxcli.exe"
for f in "$config/SOFTWARE" "$config/SYSTEM" "$disk/Users/ann/NTUSER.DAT"; do cp "$f" "$f.orig"; done

ondisk() { "$BXCLI" --windows-disk "$disk" --program "$program" "$@"; }
asreg() {
    "$BXCLI" --drive "C=$disk" --registry "$dir/full.reg" --program "$program" --sid "$sid" \
        --env 'USERPROFILE=C:\Users\ann' --env 'APPDATA=C:\Users\ann\AppData\Roaming' \
        --env 'LOCALAPPDATA=C:\Users\ann\AppData\Local' --env USERNAME=ann "$@"
}

# The same rows from the hives as from the .reg form of the same registry,
# the cookies found where the user keeps them.
st ondisk scan --smart --json >"$dir/disk.json"
[ "$status" = 1 ] || fail "disk scan exit $status"
st asreg scan --smart --json >"$dir/reg.json"
[ "$status" = 1 ] || fail "reg scan exit $status"
python3 - "$dir/disk.json" "$dir/reg.json" <<'PY'
import json, sys
disk, reg = (json.load(open(p))["rows"] for p in sys.argv[1:3])
assert disk == reg, (disk, reg)
where = [r["location"] for r in disk]
for expected in ["HKEY_LOCAL_MACHINE\\SOFTWARE\\Ebbwatch",
                 "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EbbwatchSvc",
                 "HKEY_CURRENT_USER\\Software\\Fennigle",
                 "C:\\Users\\ann\\My Cookies\\ann@adtrakkle[1].txt",
                 "C:\\Windows\\krelldial.exe", "C:\\Tools\\pw.exe"]:
    assert expected in where, (expected, where)
assert not any("Cookies\\ann@adtrakkle[2]" in w for w in where), where
PY
for f in "$config/SOFTWARE" "$config/SYSTEM" "$disk/Users/ann/NTUSER.DAT"; do
    cmp -s "$f" "$f.orig" || fail "a scan changed $f"
    [ ! -e "$f.brindlex-backup" ] || fail "a scan made a backup of $f"
done

# --read-only: a scan works, remove is refused, not a byte changes.
st ondisk --read-only scan --smart >/dev/null
[ "$status" = 1 ] || fail "read-only scan exit $status"
st ondisk --read-only settings set lfp 'C:\Elsewhere' >/dev/null 2>&1
st ondisk --read-only remove --smart --yes >/dev/null 2>"$dir/err.txt"
[ "$status" = 2 ] || fail "read-only remove exit $status"
grep -q -- '--read-only' "$dir/err.txt" || fail "read-only message: $(cat "$dir/err.txt")"
[ -e "$(host 'C:\Windows\krelldial.exe')" ] || fail "read-only remove deleted a file"
for f in "$config/SOFTWARE" "$config/SYSTEM" "$disk/Users/ann/NTUSER.DAT"; do
    cmp -s "$f" "$f.orig" || fail "--read-only changed $f"
done
[ -z "$(find "$disk" -name '*.brindlex-*')" ] || fail "--read-only left files: $(find "$disk" -name '*.brindlex-*')"

# Remove with a backup: the keys and values leave the hive files, the
# originals stay beside them.
st ondisk remove --smart --backup --yes >"$dir/remove.txt" 2>"$dir/remove.err"
[ "$status" = 0 ] || { cat "$dir/remove.txt" "$dir/remove.err"; fail "remove exit $status"; }
for f in "$config/SOFTWARE" "$config/SYSTEM" "$disk/Users/ann/NTUSER.DAT"; do
    cmp -s "$f.brindlex-backup" "$f.orig" || fail "no original kept for $f"
    [ ! -e "$f.brindlex-new" ] || fail "a partial hive left beside $f"
done
ntuser="$disk/Users/ann/NTUSER.DAT"
subkeys "$ntuser" '\Software' | grep -qx Fennigle && fail "Fennigle still in NTUSER.DAT"
values "$ntuser" '\Software\Microsoft\Windows\CurrentVersion\Run' >"$dir/run.txt"
grep -q '"Pellwick"' "$dir/run.txt" && fail "the Run value is still in NTUSER.DAT"
grep -qF '"Keep"="C:\\Tools\\keep.exe"' "$dir/run.txt" || fail "a neighbouring value went: $(cat "$dir/run.txt")"
values "$ntuser" '\Software\Microsoft\Internet Explorer\Main' | grep -qF '"Start Page"="about:blank"' ||
    fail "start page not fixed"
subkeys "$ntuser" '\Software\Classes' | grep -q ann.document && fail "classes copied into NTUSER.DAT"
subkeys "$config/SOFTWARE" '\' | grep -qx Ebbwatch && fail "Ebbwatch still in SOFTWARE"
subkeys "$config/SOFTWARE" '\Classes' | grep -qx .txt || fail "SOFTWARE lost its classes"
subkeys "$config/SYSTEM" '\ControlSet001\Services' | grep -qx EbbwatchSvc &&
    fail "EbbwatchSvc still in SYSTEM"
subkeys "$config/SYSTEM" '\' | grep -qx CurrentControlSet && fail "SYSTEM got a CurrentControlSet key"
values "$config/SYSTEM" '\ControlSet001\Services\SharedAccess\Parameters\FirewallPolicy\StandardProfile' |
    grep -q '"EnableFirewall"=dword:00000001' || fail "firewall value not fixed"
[ ! -e "$(host 'C:\Windows\krelldial.exe')" ] || fail "file not removed"

# Restore: the values come back into the hives; the backups made before the
# first change are still the originals.
archive=$(sed -n 's/^Backup: //p' "$dir/remove.txt")
[ -n "$archive" ] || fail "no backup archive named: $(cat "$dir/remove.txt" "$dir/remove.err")"
st ondisk restore "${archive##*\\}" --all >"$dir/restore.txt"
[ "$status" = 0 ] || fail "restore exit $status: $(cat "$dir/restore.txt")"
values "$ntuser" '\Software\Microsoft\Windows\CurrentVersion\Run' | grep -qF '"Pellwick"="C:\\Tools\\pw.exe"' ||
    fail "Run value not restored"
values "$ntuser" '\Software\Fennigle\Parts' | grep -q '"Count"=dword:00000003' || fail "key not restored"
subkeys "$config/SOFTWARE" '\' | grep -qx Ebbwatch || fail "Ebbwatch not restored"
cmp -s "$ntuser.brindlex-backup" "$ntuser.orig" || fail "the first original was replaced"
[ "$(cat "$(host 'C:\Windows\krelldial.exe')")" = listed ] || fail "file not restored"

# Damaged hives: exit 2 with the file named, and the file unchanged.
for damage in truncate header; do
    cp "$ntuser.orig" "$ntuser"
    rm -f "$ntuser.brindlex-backup"
    case $damage in
    truncate) head -c 6000 "$ntuser.orig" >"$ntuser" ;;
    header) printf 'XXXX' | dd of="$ntuser" conv=notrunc status=none ;;
    esac
    cp "$ntuser" "$dir/damaged"
    st ondisk remove --smart --yes >/dev/null 2>"$dir/err.txt"
    [ "$status" = 2 ] || fail "$damage: exit $status"
    grep -q 'NTUSER.DAT' "$dir/err.txt" || fail "$damage: message $(cat "$dir/err.txt")"
    cmp -s "$ntuser" "$dir/damaged" || fail "$damage: the hive changed"
    [ ! -e "$ntuser.brindlex-backup" ] || fail "$damage: a backup was written"
done
cp "$ntuser.orig" "$ntuser"

# Choosing the user: with two, the command names them; --user picks one.
cat >"$dir/second.reg" <<EOF
REGEDIT4

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\S-1-5-21-1-2-3-1002]
"ProfileImagePath"="C:\\\\Users\\\\Bob"
EOF
{ cat "$dir/full.reg"; tail -n +2 "$dir/second.reg"; } >"$dir/two.reg"
"$MAKE_HIVE" "$dir/two.reg" 'HKEY_LOCAL_MACHINE\SOFTWARE' "$config/SOFTWARE"
mkdir -p "$disk/Users/bob"
"$MAKE_HIVE" "$dir/second.reg" 'HKEY_CURRENT_USER' "$disk/Users/bob/ntuser.dat"
st ondisk scan --smart 2>"$dir/err.txt" >/dev/null
[ "$status" = 2 ] || fail "two users exit $status"
grep -q 'ann, Bob' "$dir/err.txt" || fail "users not listed: $(cat "$dir/err.txt")"
# Bob's profile is found whatever the case of its folders on this disk.
st ondisk --user bob scan --smart --json >"$dir/bob.json"
[ "$status" = 1 ] || fail "bob exit $status"
python3 -c '
import json, sys
rows = [r["location"] for r in json.load(open(sys.argv[1]))["rows"]]
assert "HKEY_CURRENT_USER\\Software\\Fennigle" not in rows, rows
assert "C:\\Windows\\krelldial.exe" in rows, rows' "$dir/bob.json"
st ondisk --user carol scan 2>"$dir/err.txt" >/dev/null
[ "$status" = 2 ] && grep -q carol "$dir/err.txt" || fail "unknown user: $status $(cat "$dir/err.txt")"
echo "native windows disk: ok"
