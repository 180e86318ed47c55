# Shared by the end-to-end scripts: a fresh private Wine prefix per test,
# copied from a template made once, with the Z: drive (the whole Linux file
# system) removed so nothing can wander out of the prefix.
set -euo pipefail

e2e_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
export WINEDEBUG=-all
WINE=/usr/lib/wine/wine64

e2e_template() {
    local template="$e2e_root/build/e2e-template"
    (
        flock 9
        if [ ! -f "$template/system.reg" ]; then
            rm -rf "$template"
            WINEPREFIX="$template" $WINE wineboot -i >/dev/null 2>&1
            WINEPREFIX="$template" /usr/lib/wine/wineserver -w
            "$e2e_root/scripts/detach-prefix.sh" "$template" --no-z
        fi
    ) 9>"$e2e_root/build/e2e-template.lock"
    echo "$template"
}

# Makes $WINEPREFIX a fresh copy of the template and installs the given
# program files into C:\Program Files\Brindlex.
e2e_new_prefix() {
    local template
    template=$(e2e_template)
    E2E_DIR=$(mktemp -d "${TMPDIR:-/tmp}/bx-e2e.XXXXXX")
    export WINEPREFIX="$E2E_DIR/prefix"
    cp -a "$template" "$WINEPREFIX"
    E2E_PROGRAM_DIR="$WINEPREFIX/drive_c/Program Files/Brindlex"
    mkdir -p "$E2E_PROGRAM_DIR"
    local f
    for f in "$@"; do cp "$f" "$E2E_PROGRAM_DIR/"; done
    # E2E_KEEP=1 keeps the prefix for a look after a failure.
    if [ -n "${E2E_KEEP:-}" ]; then
        echo "prefix kept: $WINEPREFIX" >&2
    else
        trap 'WINEPREFIX="$WINEPREFIX" /usr/lib/wine/wineserver -k 2>/dev/null || true; rm -rf "$E2E_DIR"' EXIT
    fi
}

# Runs a program of the installed folder: e2e_run bxcli.exe args...
e2e_run() {
    local program=$1
    shift
    $WINE "C:\\Program Files\\Brindlex\\$program" "$@"
}

e2e_fail() {
    echo "FAIL: $*" >&2
    exit 1
}
