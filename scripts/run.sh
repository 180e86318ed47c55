#!/usr/bin/env bash
# Builds the Windows programs and runs them under Wine in a private demo
# prefix (build/demo-prefix), never the user's own ~/.wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

./scripts/setup.sh
echo "== building the Windows programs"
cmake --preset windows >build/windows-configure.log 2>&1 || { cat build/windows-configure.log; exit 1; }
cmake --build --preset windows --target bxcli bx_data >build/windows-build.log 2>&1 ||
    { tail -n 60 build/windows-build.log; exit 1; }

export WINEPREFIX="$root/build/demo-prefix" WINEDEBUG=-all
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "== creating the demo Wine prefix $WINEPREFIX"
    /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
    /usr/lib/wine/wineserver -w
fi
# The demo stays inside the prefix: no Z: drive, no links to the home folder.
./scripts/detach-prefix.sh "$WINEPREFIX" --no-z
program_dir="$WINEPREFIX/drive_c/Program Files/Brindlex"
mkdir -p "$program_dir"
cp build/windows/bin/bxcli.exe build/windows/bin/brindlex4_010907.bx build/windows/bin/xblk.bx \
    "$program_dir/"
bxcli() { /usr/lib/wine/wine64 "C:\\Program Files\\Brindlex\\bxcli.exe" "$@"; }

echo "== bxcli.exe settings defaults"
bxcli settings defaults
echo "== bxcli.exe db info (the Reference file the settings name)"
bxcli db info
echo "== bxcli.exe db dump, first entries"
bxcli db dump >"$WINEPREFIX/dump.txt"
head -n 25 "$WINEPREFIX/dump.txt"
echo "== bxcli.exe scan --smart (a smart scan of the demo prefix)"
status=0
bxcli scan --smart || status=$?
# 1 means something was found; only 2 is a failure.
[ "$status" -ne 2 ]
/usr/lib/wine/wineserver -w
