#!/usr/bin/env bash
# bxcli.exe remove --backup --yes in a prefix with planted traces: every trace
# goes (files, a read-only file, numbered cookies, a zip member, a folder,
# keys, values, value data fixed or deleted), the removal log holds the steps,
# the backup opens with Info-ZIP, and restore brings everything back. Then a
# file held open is left for the restart, which removes it.
# Usage: remove_restore.sh BXCLI.EXE BX_HOLDFILE.EXE
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/scan_plant.sh"
bin=$(dirname "$1")
holdfile=$2
e2e_new_prefix "$1" "$bin/brindlex4_010907.bx"
cp "$holdfile" "$WINEPREFIX/drive_c/holdfile.exe"

scan_run "$E2E_DIR/defaults.txt" settings defaults
[ "$status" = 0 ] || e2e_fail "settings defaults: exit $status"
scan_folders
scan_plant_registry
scan_plant_files
scan_plant "$cookies\\$user@adtrakkle[3].txt" "third cookie"
chmod a-w "$(scan_unix_path "$windir\\krelldial.exe")"
run='HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run'
$WINE reg add "$run" /v Keep /t REG_SZ /d 'C:\Tools\keep.exe' /f >/dev/null 2>&1
key_exists() { $WINE reg query "$1" >/dev/null 2>&1; }

scan_run "$E2E_DIR/remove.txt" remove --smart --zip --backup --yes
[ "$status" = 0 ] || e2e_fail "remove: exit $status: $(cat "$E2E_DIR/remove.txt" "$E2E_DIR/remove.txt.err")"
grep -q 'Selected Items have been removed from your computer successfully.' "$E2E_DIR/remove.txt.err" ||
    e2e_fail "no success message"

# Files, the read-only one too, all numbered cookies of a detected cookie, the folder.
for trace in "$temp\\bl_stage2.exe" "$desktop\\Security Alert.url" "$windir\\krelldial.exe" \
    "$cache\\BX12AB34\\gorsedial[1].ocx" 'C:\Program Files\Tollvane' "$sysdir\\wlsvc32.exe" \
    "$desktop\\Downloads\\x.bin" 'C:\Tools\pw.exe' 'C:\Tools\vsrv.exe' "$windir\\zz.exe" \
    "$sysdir\\qq.dll" 'C:\Games\rookvane.exe' 'C:\Games\Deep\jaskiff.exe' \
    "$cookies\\$user@adtrakkle[1].txt" "$cookies\\$user@adtrakkle[3].txt" \
    "$cookies\\$user@track.cobbleclick.example[2].txt"; do
    [ ! -e "$(scan_unix_path "$trace")" ] || e2e_fail "still there: $trace"
done
[ -e "$(scan_unix_path "$cookies\\$user@unlisted.example[1].txt")" ] || e2e_fail "an unlisted cookie went"
# The archive lost its detected member only; the rest keep their names.
python3 - "$(scan_unix_path "$desktop\\desk.zip")" <<'PY' || e2e_fail "zip member"
import sys, zipfile
names = zipfile.ZipFile(sys.argv[1]).namelist()
assert names == ["readme.txt"], names
PY
# Keys and values gone, value data fixed or deleted as the Reference file says.
key_exists 'HKLM\SOFTWARE\Dapplefeed' && e2e_fail "key Dapplefeed still there"
key_exists 'HKCR\CLSID\{217065C1-56B0-4874-AE31-929B3B60133D}\LocalServer32' && e2e_fail "class key"
for value in bxstage FennigleSmileys Pellwick; do
    [ -z "$(scan_reg_value "$run" "$value")" ] || e2e_fail "Run value $value still there"
done
[ "$(scan_reg_value "$run" Keep)" = 'C:\Tools\keep.exe' ] || e2e_fail "a neighbouring Run value went"
[ "$(scan_reg_value 'HKLM\SYSTEM\CurrentControlSet\Services\SharedAccess\Parameters\FirewallPolicy\StandardProfile' EnableFirewall)" = 0x1 ] ||
    e2e_fail "EnableFirewall not fixed"
[ "$(scan_reg_value 'HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings' ProxyEnable)" = 0x0 ] ||
    e2e_fail "ProxyEnable not fixed"

# The removal log, in the log folder the settings name.
log_path=$(sed -n 's/^Removal log: //p' "$E2E_DIR/remove.txt")
log=$(scan_unix_path "$log_path")
[ -f "$log" ] || e2e_fail "no removal log: $log_path"
tr -d '\r' <"$log" >"$E2E_DIR/log.txt"
head -n 2 "$E2E_DIR/log.txt" | diff - <(printf 'Brindlex 5.0\n---------------------\n') >/dev/null ||
    e2e_fail "log header"
for line in 'Removing Spyware Dapplefeed Ticker...' '[Key Deleted]' '[Value Deleted]' \
    '[Fixed Value Data]' '[Deleted Cookie]' '[File Deleted]' '[Directory Removal]' \
    "$windir\\krelldial.exe" 'Old ValueData : 0' 'New ValueData : 1'; do
    grep -qxF "$line" "$E2E_DIR/log.txt" || e2e_fail "log line missing: $line"
done

# The backup: "M,D,YYYY_h,m,s.zip" in BrindlexBackup, opened by Info-ZIP.
archive_path=$(sed -n 's/^Backup: //p' "$E2E_DIR/remove.txt")
[[ "$archive_path" =~ ^C:\\Program\ Files\\Brindlex\\BrindlexBackup\\[0-9]{1,2},[0-9]{1,2},[0-9]{4}_[0-9]{1,2},[0-9]{1,2},[0-9]{1,2}\.zip$ ]] ||
    e2e_fail "archive name: $archive_path"
archive=$(scan_unix_path "$archive_path")
unzip -Z1 "$archive" >"$E2E_DIR/members.txt" || e2e_fail "unzip cannot list the backup"
for member in Config.ini krelldial.exe pw.exe desk.zip "$user@adtrakkle[1].txt" "$user@adtrakkle[3].txt"; do
    grep -qxF "$member" "$E2E_DIR/members.txt" || e2e_fail "member missing: $member"
done
grep -q '^RegKeyBackup[0-9-]*\.reg$' "$E2E_DIR/members.txt" || e2e_fail "no registry export"
mkdir "$E2E_DIR/unzipped"
unzip -q -P tindrake_7_vlts "$archive" -d "$E2E_DIR/unzipped" || e2e_fail "unzip -P cannot extract"
[ "$(cat "$E2E_DIR/unzipped/krelldial.exe")" = dialer ] || e2e_fail "copied file content"
grep -q '^\[TYPE:COOKIE\]' "$E2E_DIR/unzipped/Config.ini" || e2e_fail "manifest"

# Listing and restoring.
name=${archive_path##*\\}
scan_run "$E2E_DIR/list.txt" restore list
grep -q "^$name	Backup on " "$E2E_DIR/list.txt" || e2e_fail "restore list: $(cat "$E2E_DIR/list.txt")"
scan_run "$E2E_DIR/restore.txt" restore "$name" --all
[ "$status" = 0 ] || e2e_fail "restore: exit $status: $(cat "$E2E_DIR/restore.txt" "$E2E_DIR/restore.txt.err")"
[ "$(cat "$(scan_unix_path "$windir\\krelldial.exe")")" = dialer ] || e2e_fail "file not restored"
[ "$(cat "$(scan_unix_path "$cookies\\$user@adtrakkle[3].txt")")" = "third cookie" ] ||
    e2e_fail "cookie not restored"
key_exists 'HKLM\SOFTWARE\Dapplefeed' || e2e_fail "key not restored"
[ "$(scan_reg_value "$run" Pellwick)" = 'C:\Tools\pw.exe' ] || e2e_fail "Run value not restored"

# A file held open: left for the restart (exit 3), gone after it.
scan_plant 'C:\Tools\pw.exe' "$(scan_sample pellwick-run-hkcu)"
coproc HOLD { $WINE 'C:\holdfile.exe' 'C:\Tools\pw.exe' 2>&1; }
read -r -t 60 ready <&"${HOLD[0]}" || true
[ "${ready%$'\r'}" = held ] || e2e_fail "the holder did not start: $ready"
scan_run "$E2E_DIR/locked.txt" remove --folder 'C:\Tools' --yes
exec {HOLD[1]}>&-
wait "$HOLD_PID" 2>/dev/null || true
[ "$status" = 3 ] || e2e_fail "locked file: exit $status: $(cat "$E2E_DIR/locked.txt" "$E2E_DIR/locked.txt.err")"
log=$(scan_unix_path "$(sed -n 's/^Removal log: //p' "$E2E_DIR/locked.txt")")
tr -d '\r' <"$log" | grep -qxF '[File Removal Delayed untill Reboot]' || e2e_fail "no L36 in the log"
[ -e "$(scan_unix_path 'C:\Tools\pw.exe')" ] || e2e_fail "the held file went at once"
$WINE wineboot -r >/dev/null 2>&1
/usr/lib/wine/wineserver -w
[ ! -e "$(scan_unix_path 'C:\Tools\pw.exe')" ] || e2e_fail "the held file survived the restart"
echo PASS
