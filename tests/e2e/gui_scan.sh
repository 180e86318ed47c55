#!/usr/bin/env bash
# The main window's smart scan of planted traces lists the same rows, in the
# same order, as bxcli.exe scan; its counters add up; "Uncheck all related
# items" keeps one program's traces through "REMOVE ITEMS" (checked inside
# main_window_gui_tests.exe, PlantedTraces).
#   gui_scan.sh BXCLI.exe MAIN_WINDOW_GUI_TESTS.exe
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/scan_plant.sh"
source "$(dirname "$0")/gui_lib.sh"
bin=$(dirname "$1")
e2e_new_prefix "$1" "$2" "$bin/brindlex4_010907.bx"
gui_display

scan_folders
scan_plant_registry
scan_plant_files
$WINE reg add 'HKCU\Software\Brindlex5' /v scantype /t REG_DWORD /d 1 /f >/dev/null 2>&1
$WINE reg add 'HKCU\Software\Brindlex5' /v zipfiles /t REG_DWORD /d 1 /f >/dev/null 2>&1

scan_run "$E2E_DIR/cli.txt" scan --smart
[ "$status" = 1 ] || e2e_fail "bxcli scan: exit $status: $(cat "$E2E_DIR/cli.txt.err")"
sed '$d' "$E2E_DIR/cli.txt" >"$E2E_DIR/cli_rows.txt"
[ -s "$E2E_DIR/cli_rows.txt" ] || e2e_fail "bxcli found nothing"

# The window's start-up is a first run: it writes the default settings
# (smart scan, the backup question, the log folder) and keeps "zipfiles".
shots=${BX_SCREENSHOT_DIR:-$E2E_DIR/shots}
set +e
BX_SCREENSHOT_DIR='C:\shots' BX_GUI_ROWS_OUT='C:\gui_rows.txt' gui_run main_window_gui_tests.exe \
    --gtest_filter='PlantedTraces.*' >"$E2E_DIR/gui.log" 2>&1
status=$?
set -e
[ "$status" = 0 ] || e2e_fail "main window: exit $status: $(tail -40 "$E2E_DIR/gui.log")"
grep -q '\[  PASSED  \] 1 test' "$E2E_DIR/gui.log" || e2e_fail "main window test did not run: $(tail -20 "$E2E_DIR/gui.log")"
tr -d '\r' <"$WINEPREFIX/drive_c/gui_rows.txt" >"$E2E_DIR/gui_rows.txt"
mkdir -p "$shots"
cp "$WINEPREFIX"/drive_c/shots/*.png "$shots/" 2>/dev/null || true

if ! diff -u "$E2E_DIR/cli_rows.txt" "$E2E_DIR/gui_rows.txt"; then
    e2e_fail "the window's rows differ from bxcli's"
fi
echo "$(wc -l <"$E2E_DIR/gui_rows.txt") rows as bxcli lists them; kept: $(cat "$WINEPREFIX/drive_c/gui_rows.txt.kept")"
echo PASS
