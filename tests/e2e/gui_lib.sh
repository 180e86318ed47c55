# Shared by the end-to-end scripts of the Windows program (sourced after
# lib.sh): one X display for the whole script, so that every program it
# starts lands on the same Wine virtual desktop.

# Every program of the prefix opens on one virtual desktop ("Default"): a
# second "explorer /desktop" of the same name would not start its program.
gui_desktop() {
    $WINE reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    $WINE reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
    # The desktop is made by the first program once the wineserver has gone.
    /usr/lib/wine/wineserver -w
}

# gui_display [--bare]: with --bare the programs open their windows straight
# on the X display, as in a user's own X session, not on a virtual desktop.
gui_display() {
    local setup=gui_desktop
    [ "${1:-}" = --bare ] && setup=true
    if [ -n "${DISPLAY:-}" ]; then
        $setup
        return 0
    fi
    local n
    for n in $(seq 200 260); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        gui_xvfb=$!
        for _ in $(seq 50); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            sleep 0.1
        done
        if kill -0 "$gui_xvfb" 2>/dev/null; then
            export DISPLAY=":$n"
            # Runs after lib.sh's clean-up of the prefix.
            trap 'WINEPREFIX="$WINEPREFIX" /usr/lib/wine/wineserver -k 2>/dev/null || true; kill $gui_xvfb 2>/dev/null || true; rm -rf "$E2E_DIR"' EXIT
            $setup
            return 0
        fi
    done
    e2e_fail "could not start Xvfb"
}

# Runs a program of the installed folder on the shared virtual desktop.
gui_run() {  # gui_run program.exe args...
    local program=$1
    shift
    $WINE "C:\\Program Files\\Brindlex\\$program" "$@"
}
