#!/usr/bin/env bash
# bxcli update, natively with the libcurl network, against a real HTTP
# server on 127.0.0.1: the whole update from the console.
#   update_native.sh BXCLI_TESTKEY SHIPPED_REFERENCE_FILE
set -euo pipefail
source "$(dirname "$0")/update_lib.sh"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/bx-update.XXXXXX")
trap 'upd_stop_servers; rm -rf "$WORK"' EXIT
PROG_DIR=$WORK/program
mkdir -p "$PROG_DIR"
# The program's folder is the one it runs from: a copy of its own.
cp "$1" "$PROG_DIR/bxcli"
cp "$2" "$PROG_DIR/brindlex4_010907.bx"
PROG_WIN="Z:$(sed 's|/|\\|g' <<<"$PROG_DIR")"
registry=$WORK/settings.reg

bx() {
    "$PROG_DIR/bxcli" --registry "$registry" --save-registry "$registry" "$@"
}
win_path() {
    printf 'Z:%s' "$(sed 's|/|\\|g' <<<"$1")"
}

bx settings defaults >/dev/null
update_scenarios
echo PASS
