#!/usr/bin/env bash
# brindlex.exe started with ":Min:" goes to the tray with its icon; a second
# start exits at once and brings the first one back; the tray's Exit ends it.
#   gui_instance.sh BRINDLEX.exe BXPROBE.exe
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/gui_lib.sh"
bin=$(dirname "$1")
e2e_new_prefix "$1" "$2" "$bin/brindlex4_010907.bx"
gui_display
shots=${BX_SCREENSHOT_DIR:-$E2E_DIR/shots}
mkdir -p "$shots"
probe() { gui_run bxprobe.exe "$@" | tr -d '\r'; return "${PIPESTATUS[0]}"; }

# Not a first run: no update offer two seconds after the start.
$WINE reg add 'HKCU\Software\Brindlex5' /v firstrun /d 0 /f >/dev/null 2>&1
$WINE reg add 'HKCU\Software\Brindlex5' /v rfp /d 'C:\Program Files\Brindlex\brindlex4_010907.bx' /f >/dev/null 2>&1

gui_run brindlex.exe ':Min:' >"$E2E_DIR/first.log" 2>&1 &
first=$!
# The tray's hidden window is made while the main window starts; the main
# window shows, and a second later goes to the tray.
probe wait 'Brindlex5' 30000 || e2e_fail "no tray window"
probe visible 'Brindlex v5.0' 10000 || e2e_fail "the main window did not appear"
probe hidden 'Brindlex v5.0' 15000 || e2e_fail ":Min: did not hide the window"
# The shield is drawn in the taskbar's notification area (the taskbar may
# paint it a moment after the window hid).
for _ in $(seq 50); do
    shield=$(probe tray-shield)
    [ "$shield" -ge 20 ] && break
    sleep 0.2
done
[ "$shield" -ge 20 ] || e2e_fail "no tray icon while in the tray ($shield)"
probe shot - 'C:\desktop_tray.png' || true

start=$SECONDS
timeout 60 $WINE 'C:\Program Files\Brindlex\brindlex.exe' >"$E2E_DIR/second.log" 2>&1 ||
    e2e_fail "the second start failed: $?"
[ $((SECONDS - start)) -lt 30 ] || e2e_fail "the second start took $((SECONDS - start)) s"
probe visible 'Brindlex v5.0' 10000 || e2e_fail "the first window did not come back"
probe foreground 'Brindlex v5.0' 5000 || e2e_fail "the first window is not in front"
[ "$(probe count 'Brindlex v5.0')" = 1 ] || e2e_fail "two main windows"
for _ in $(seq 25); do
    shield=$(probe tray-shield)
    [ "$shield" -lt 20 ] && break
    sleep 0.2
done
[ "$shield" -lt 20 ] || e2e_fail "the tray icon stayed ($shield)"
probe shot 'Brindlex v5.0' 'C:\main_window_restored.png' || e2e_fail "no picture"
cp "$WINEPREFIX/drive_c/main_window_restored.png" "$shots/" 2>/dev/null || true
cp "$WINEPREFIX/drive_c/desktop_tray.png" "$shots/" 2>/dev/null || true

# The tray's Exit with no shield and no schedule ends the program.
probe command 'Brindlex v5.0' 32775 || e2e_fail "could not send Exit"
probe gone 'Brindlex v5.0' 15000 || e2e_fail "the program did not end"
wait "$first" || e2e_fail "the first instance exited with $?"
echo PASS
