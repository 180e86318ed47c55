#!/usr/bin/env bash
# The installer in a fresh prefix: "BrindlexSetup.exe /S" installs, the
# program starts from the installed folder (a first run) and bxcli.exe scans
# there, the uninstall key reads back. Installing again with the program
# running closes it, keeps the settings, ignore list, backups and logs, and
# with /STARTUP adds the Run entry. "Uninstall.exe /S" with the program
# running closes it, leaves no program file, shortcut, Run entry or key, and
# keeps the user's data; /PURGE takes that too, and a filter module still
# held open goes at the restart.
#   installer.sh BrindlexSetup.exe BXPROBE.exe BX_HOLDFILE.exe
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/gui_lib.sh"
e2e_new_prefix
mkdir -p "$WINEPREFIX/drive_c/tools"
cp "$1" "$2" "$WINEPREFIX/drive_c/tools/"
cp "$3" "$WINEPREFIX/drive_c/tools/holdfile.exe"
gui_display
# A Start-menu shortcut must not become a menu entry of the host's desktop.
export WINEDLLOVERRIDES="winemenubuilder.exe=d"
dir=$E2E_PROGRAM_DIR
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Brindlex.lnk"
probe() { $WINE 'C:\tools\bxprobe.exe' "$@" | tr -d '\r'; return "${PIPESTATUS[0]}"; }
setup() { $WINE 'C:\tools\BrindlexSetup.exe' "$@"; }
settings='HKCU\Software\Brindlex5'
run_key='HKCU\SOFTWARE\Microsoft\Windows\CurrentVersion\Run'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Brindlex'
# The data of one value (REG_SZ or REG_DWORD), or nothing.
value() { $WINE reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"; }
key_exists() { $WINE reg query "$1" >/dev/null 2>&1; }
# Starts brindlex.exe from the installed folder; $program is its job.
start_program() {
    $WINE 'C:\Program Files\Brindlex\brindlex.exe' >"$E2E_DIR/program.log" 2>&1 &
    program=$!
    probe visible 'Brindlex v5.0' 30000 || e2e_fail "the program did not start from $dir"
    probe wait 'Brindlex5' 10000 || e2e_fail "no tray window"
}
# The program ended by itself, cleanly (a terminated one ends with 1).
expect_closed() {
    local status=0
    wait "$program" || status=$?
    [ "$status" = 0 ] || e2e_fail "$1: the program did not close cleanly (exit $status)"
}
# Uninstall.exe hands over to a copy of itself in the temporary folder and
# returns at once: the uninstall is done when its key and the file are gone.
uninstall() {
    $WINE 'C:\Program Files\Brindlex\Uninstall.exe' "$@" || e2e_fail "Uninstall.exe $* failed"
    for _ in $(seq 240); do
        if ! key_exists "$uninstall_key" && [ ! -e "$dir/Uninstall.exe" ]; then
            sleep 0.5  # the copy's last steps
            return 0
        fi
        sleep 0.25
    done
    e2e_fail "Uninstall.exe $* did not finish"
}
expect_no_program() {
    local f
    for f in brindlex.exe bxcli.exe butils.dll brindlex4_010907.bx xblk.bx Uninstall.exe; do
        [ ! -e "$dir/$f" ] || e2e_fail "$1: $f is still there"
    done
    [ ! -e "$shortcut" ] || e2e_fail "$1: the Start-menu shortcut is still there"
    [ -z "$(value "$run_key" Brindlex5)" ] || e2e_fail "$1: the Run entry is still there"
    ! key_exists "$uninstall_key" || e2e_fail "$1: the uninstall key is still there"
}

# A fresh install.
setup /S || e2e_fail "BrindlexSetup.exe /S failed: $?"
for f in brindlex.exe bxcli.exe brindlex4_010907.bx xblk.bx Uninstall.exe; do
    [ -f "$dir/$f" ] || e2e_fail "not installed: $f"
done
[ -f "$shortcut" ] || e2e_fail "no Start-menu shortcut"
[ "$(value "$uninstall_key" DisplayName)" = Brindlex ] || e2e_fail "DisplayName"
[ "$(value "$uninstall_key" DisplayVersion)" = 5.0 ] || e2e_fail "DisplayVersion"
[ "$(value "$uninstall_key" Publisher)" = Brindlex ] || e2e_fail "Publisher"
[ "$(value "$uninstall_key" InstallLocation)" = 'C:\Program Files\Brindlex' ] ||
    e2e_fail "InstallLocation: $(value "$uninstall_key" InstallLocation)"
[ "$(value "$uninstall_key" UninstallString)" = '"C:\Program Files\Brindlex\Uninstall.exe"' ] ||
    e2e_fail "UninstallString: $(value "$uninstall_key" UninstallString)"
size=$(value "$uninstall_key" EstimatedSize)
[ $((size)) -gt 1000 ] || e2e_fail "EstimatedSize: $size"
[ -z "$(value "$run_key" Brindlex5)" ] || e2e_fail "a Run entry nobody asked for"

# bxcli scans there with the shipped Reference file.
mkdir -p "$WINEPREFIX/drive_c/windows"
printf x >"$WINEPREFIX/drive_c/windows/krelldial.exe"
set +e
$WINE 'C:\Program Files\Brindlex\bxcli.exe' scan --smart >"$E2E_DIR/scan.txt" 2>&1
status=$?
set -e
[ "$status" = 1 ] || e2e_fail "bxcli scan --smart: exit $status: $(cat "$E2E_DIR/scan.txt")"
grep -q 'krelldial.exe' "$E2E_DIR/scan.txt" || e2e_fail "the planted file was not found"

# The first start writes the settings for the installed folder and, two
# seconds on, offers an update (answered No).
start_program
[ "$(value "$settings" rfp)" = 'C:\Program Files\Brindlex\brindlex4_010907.bx' ] ||
    e2e_fail "rfp after the first start: $(value "$settings" rfp)"
[ -d "$dir/logs" ] || e2e_fail "no log folder"
probe wait 'Brindlex' 15000 || e2e_fail "no first-run update offer"
probe command 'Brindlex' 7 || e2e_fail "could not answer the update offer"

# The user's data, and a setting that names a downloaded Reference file that
# is gone.
mkdir -p "$dir/BrindlexBackup"
printf backup >"$dir/BrindlexBackup/1,2,2024_3,4,5.zip"
printf log >"$dir/logs/Date(1-2-2024) Time(3-4-5).txt"
printf ignore >"$dir/iglist.lst"
$WINE reg add "$settings" /v hsts /d 0 /f >/dev/null 2>&1
expect_user_data() {
    [ -f "$dir/BrindlexBackup/1,2,2024_3,4,5.zip" ] || e2e_fail "$1: the backup went"
    [ -f "$dir/logs/Date(1-2-2024) Time(3-4-5).txt" ] || e2e_fail "$1: the log went"
    [ -f "$dir/iglist.lst" ] || e2e_fail "$1: the ignore list went"
    [ "$(value "$settings" hsts)" = 0 ] || e2e_fail "$1: the settings were reset"
}

# Installing over it, with the program running and start with Windows.
$WINE reg add "$settings" /v rfp /d 'C:\Program Files\Brindlex\brindlex4_020101.bx' /f >/dev/null 2>&1
setup /S /STARTUP || e2e_fail "the second install failed: $?"
expect_closed "install over it"
expect_user_data "install over it"
[ "$(value "$settings" rfp)" = 'C:\Program Files\Brindlex\brindlex4_010907.bx' ] ||
    e2e_fail "rfp not repaired: $(value "$settings" rfp)"
[ "$(value "$run_key" Brindlex5)" = '"C:\Program Files\Brindlex\brindlex.exe" :Min:' ] ||
    e2e_fail "Run entry: $(value "$run_key" Brindlex5)"
[ "$(value "$settings" ras)" = 1 ] || e2e_fail "ras after /STARTUP: $(value "$settings" ras)"

# Uninstalling with the program running keeps the user's data.
start_program
uninstall /S
expect_closed "uninstall"
expect_no_program "uninstall"
expect_user_data "uninstall"
[ "$(value "$settings" ras)" = 0 ] || e2e_fail "the kept settings still claim the Run entry"

# /PURGE takes the data as well; a filter module still held open by a
# process goes at the restart, with the folder.
setup /S || e2e_fail "the third install failed: $?"
printf module >"$dir/butils.dll"
coproc HOLD { $WINE 'C:\tools\holdfile.exe' 'C:\Program Files\Brindlex\butils.dll' 2>&1; }
read -r -t 60 ready <&"${HOLD[0]}" || true
[ "${ready%$'\r'}" = held ] || e2e_fail "the holder did not start: $ready"
uninstall /S /PURGE
exec {HOLD[1]}>&-
wait "$HOLD_PID" 2>/dev/null || true
! key_exists "$settings" || e2e_fail "/PURGE kept the settings"
for f in BrindlexBackup logs iglist.lst brindlex.exe Uninstall.exe; do
    [ ! -e "$dir/$f" ] || e2e_fail "/PURGE left $f"
done
[ -e "$dir/butils.dll" ] || e2e_fail "the held module went at once"
$WINE wineboot -r >/dev/null 2>&1
/usr/lib/wine/wineserver -w
[ ! -e "$dir" ] || e2e_fail "after the restart: $(ls -A "$dir")"
echo PASS
