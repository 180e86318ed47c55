#!/usr/bin/env bash
# bxcli.exe update under Wine, through WinINet and the URL download
# facility, against a real HTTP server on 127.0.0.1: the whole update from
# the console, in a fresh prefix.
#   update_wine.sh BXCLI_TESTKEY.EXE SHIPPED_REFERENCE_FILE
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/update_lib.sh"

e2e_new_prefix
trap 'upd_stop_servers; WINEPREFIX="$WINEPREFIX" /usr/lib/wine/wineserver -k 2>/dev/null || true; rm -rf "$E2E_DIR"' EXIT
PROG_DIR=$E2E_PROGRAM_DIR
PROG_WIN='C:\Program Files\Brindlex'
cp "$1" "$PROG_DIR/bxcli.exe"
cp "$2" "$PROG_DIR/brindlex4_010907.bx"
# Inside the prefix, so the program reaches it as C:\work.
WORK=$WINEPREFIX/drive_c/work
mkdir -p "$WORK"

bx() {
    e2e_run bxcli.exe "$@"
}
win_path() {
    local relative=${1#"$WINEPREFIX/drive_c/"}
    printf 'C:\\%s' "$(sed 's|/|\\|g' <<<"$relative")"
}

bx settings defaults >/dev/null
update_scenarios
echo PASS
