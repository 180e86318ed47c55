#!/usr/bin/env bash
# Builds the Windows programs and runs them under Wine in a private demo
# prefix (build/demo-prefix), never the user's own ~/.wine, with sample traces
# of the shipped Reference file's (fictional) unwanted programs planted in it.
# With a display: brindlex.exe in a Wine desktop window. Without one: a
# headless demo that scans the prefix with bxcli.exe and prints the rows.
#   scripts/run.sh [--headless]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
headless=0
[ "${1:-}" = --headless ] && headless=1
[ -n "${DISPLAY:-}" ] || headless=1

./scripts/setup.sh
echo "== building the Windows programs"
cmake --preset windows >build/windows-configure.log 2>&1 || { cat build/windows-configure.log; exit 1; }
cmake --build --preset windows --target brindlex bxcli bx_data >build/windows-build.log 2>&1 ||
    { tail -n 60 build/windows-build.log; exit 1; }

export WINEPREFIX="$root/build/demo-prefix" WINEDEBUG=-all
WINE=/usr/lib/wine/wine64
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "== creating the demo Wine prefix $WINEPREFIX"
    $WINE wineboot -i >/dev/null 2>&1
    /usr/lib/wine/wineserver -w
fi
# The demo stays inside the prefix: no Z: drive, no links to the home folder.
./scripts/detach-prefix.sh "$WINEPREFIX" --no-z
program_dir="$WINEPREFIX/drive_c/Program Files/Brindlex"
mkdir -p "$program_dir"
cp build/windows/bin/brindlex.exe build/windows/bin/bxcli.exe build/windows/bin/brindlex4_010907.bx \
    build/windows/bin/xblk.bx "$program_dir/"
bxcli() { $WINE "C:\\Program Files\\Brindlex\\bxcli.exe" "$@"; }

# The planting helpers of the end-to-end tests, with their two hooks.
e2e_fail() { echo "run.sh: $*" >&2; exit 1; }
e2e_run() { local program=$1; shift; $WINE "C:\\Program Files\\Brindlex\\$program" "$@"; }
source tests/e2e/scan_plant.sh
if [ ! -f "$WINEPREFIX/drive_c/.brindlex-demo-planted" ]; then
    echo "== planting sample traces in the demo prefix"
    scan_folders
    scan_plant_registry
    scan_plant_files
    touch "$WINEPREFIX/drive_c/.brindlex-demo-planted"
fi

if [ "$headless" = 0 ]; then
    echo "== brindlex.exe (in a Wine desktop window; close it or use the tray's Exit to end)"
    echo "   Press SCAN MY PC to find the planted traces, then REMOVE ITEMS."
    $WINE explorer /desktop=Brindlex,1024x768 "C:\\Program Files\\Brindlex\\brindlex.exe"
    /usr/lib/wine/wineserver -w
    exit 0
fi

echo "== bxcli.exe db info (the shipped Reference file)"
bxcli db info
echo "== bxcli.exe scan --smart (a smart scan of the demo prefix)"
status=0
bxcli scan --smart || status=$?
/usr/lib/wine/wineserver -w
# 1 means something was found; only 2 is a failure.
[ "$status" -ne 2 ]
cat <<'TEXT'

No display was found, so this was the headless demo. To see the window, run
./scripts/run.sh where X is available (a desktop session, or ssh -X from one):
brindlex.exe then opens in a Wine desktop window on that display. The README
shows a screenshot of the main window after a scan.
TEXT
