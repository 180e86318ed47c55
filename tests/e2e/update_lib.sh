# The update scenarios, shared by the native run (update_native.sh) and the
# Windows run under Wine (update_wine.sh). The caller defines:
#   bx ARGS...        runs bxcli (the test build, which takes BX_TEST_UPDATE_KEY)
#   PROG_DIR          host path of the program's folder
#   PROG_WIN          the same folder as the program sees it (Windows path)
#   WORK              a scratch folder the program can also reach
#   win_path PATH     the Windows path of a host path below WORK or PROG_DIR
# and the scenarios start, serve and stop their own servers on 127.0.0.1.

upd_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
upd_server_pids=()

upd_fail() {
    echo "FAIL: $*" >&2
    exit 1
}

upd_stop_servers() {
    local pid
    for pid in "${upd_server_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    upd_server_pids=()
}

# upd_start_server ROOT [BYTES_PER_SECOND]: serves ROOT; sets UPD_PORT.
upd_start_server() {
    local root=$1 throttle=${2:-0} portfile
    portfile=$(mktemp "$WORK/port.XXXXXX")
    python3 "$upd_root/tests/support/update_server.py" --root "$root" --throttle "$throttle" \
        --time-limit 300 --log "$root.log" >"$portfile" &
    upd_server_pids+=($!)
    local i
    for i in $(seq 100); do
        UPD_PORT=$(sed -n 's/^PORT //p' "$portfile")
        [ -n "$UPD_PORT" ] && return 0
        sleep 0.1
    done
    upd_fail "the update server did not start"
}

# A port on 127.0.0.1 where nothing listens.
upd_closed_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()'
}

# upd_reference OUT NAME...: a Reference file with one entry per name.
upd_reference() {
    python3 - "$@" <<'PY'
import sys
out, names = sys.argv[1], sys.argv[2:]
markup = '<?xml version="1.0"?>\n<BX TOTAL="%d">\n' % len(names)
for n in names:
    markup += ('<SW NAME="%s"><FILES><FILE NAME="agent.exe" PATH=":PFDir:" /></FILES>'
               '<DANGER_LEVEL>1</DANGER_LEVEL></SW>\n' % n)
markup += "</BX>\n"
open(out, "wb").write(bytes(b ^ 0xB5 for b in markup.encode()))
PY
}

# upd_archive OUT MEMBER=FILE...: a zip archive; member names are taken as
# given, even ones a careful tool refuses.
upd_archive() {
    python3 - "$@" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    for member in sys.argv[2:]:
        name, path = member.split("=", 1)
        z.writestr(zipfile.ZipInfo(name, (2024, 1, 1, 0, 0, 0)), open(path, "rb").read())
PY
}

# upd_page ROOT NAME: the update page names NAME, between upper-case tags and
# surrounded by white space.
upd_page() {
    mkdir -p "$1/def"
    printf '<HTML>\r\n<HEAD><TITLE>Brindlex definitions</TITLE></HEAD>\r\n<BODY>\r\n   %s \t\r\n\r\n</BODY>\r\n</HTML>\r\n' \
        "$2" >"$1/def/def_zip.html"
}

# upd_sign ARCHIVE [KEY]: writes ARCHIVE.sig with the program's own tool.
upd_sign() {
    local key=${2:-$WORK/keys/test.key}
    bx db sign "$(win_path "$1")" --key "$(win_path "$key")" >/dev/null ||
        upd_fail "db sign $1"
}

upd_setting() {
    bx settings get "$1" | tr -d '\r'
}

# upd_run NAME ARGS...: runs bxcli update with the answers on standard
# input; leaves the exit status in UPD_STATUS, the output in
# $WORK/NAME.out and $WORK/NAME.err (without carriage returns).
upd_run() {
    local name=$1
    shift
    set +e
    bx update "$@" >"$WORK/$name.out.raw" 2>"$WORK/$name.err.raw"
    UPD_STATUS=$?
    set -e
    tr -d '\r' <"$WORK/$name.out.raw" >"$WORK/$name.out"
    tr -d '\r' <"$WORK/$name.err.raw" >"$WORK/$name.err"
}

upd_expect_status() {  # NAME EXPECTED
    [ "$UPD_STATUS" -eq "$2" ] ||
        upd_fail "$1: exit $UPD_STATUS, expected $2; out: $(cat "$WORK/$1.out"); err: $(cat "$WORK/$1.err")"
}

upd_expect_err() {  # NAME TEXT: the text appears on standard error
    grep -qF -- "$2" "$WORK/$1.err" || upd_fail "$1: no \"$2\" in: $(cat "$WORK/$1.err")"
}

# The Reference file in use is still the one given, unchanged.
upd_expect_in_use() {  # NAME FILE-NAME CONTENT-COPY
    [ "$(upd_setting rfp)" = "$PROG_WIN\\$2" ] || upd_fail "$1: rfp is $(upd_setting rfp)"
    [ "$(upd_setting df)" = "$2" ] || upd_fail "$1: df is $(upd_setting df)"
    cmp -s "$PROG_DIR/$2" "$3" || upd_fail "$1: $2 changed or missing"
}

upd_connection_error="Error Connecting to Brindlex server , Please be sure you are connected to the internet and that no firewall is active that might be preventing Brindlex from accessing the internet."

update_scenarios() {
    mkdir -p "$WORK/keys" "$WORK/www/def" "$WORK/slow/def" "$WORK/src"
    local www=$WORK/www old=brindlex4_010907.bx
    cp "$PROG_DIR/$old" "$WORK/src/old.bx"

    # Keys of the test's own: the program takes the public one from the
    # environment (test builds only).
    BX_TEST_UPDATE_KEY=$(bx db keygen "$(win_path "$WORK/keys/test.key")" \
        "$(win_path "$WORK/keys/test.pub")" | tr -d '\r\n')
    export BX_TEST_UPDATE_KEY
    [ ${#BX_TEST_UPDATE_KEY} -eq 64 ] || upd_fail "db keygen printed \"$BX_TEST_UPDATE_KEY\""
    [ "$(tr -d '\r\n' <"$WORK/keys/test.pub")" = "$BX_TEST_UPDATE_KEY" ] ||
        upd_fail "db keygen wrote another public key than it printed"
    bx db keygen "$(win_path "$WORK/keys/other.key")" "$(win_path "$WORK/keys/other.pub")" >/dev/null
    if bx db keygen "$(win_path "$WORK/keys/test.key")" >/dev/null 2>&1; then
        upd_fail "db keygen replaced an existing key"
    fi

    upd_start_server "$www"
    local server="http://127.0.0.1:$UPD_PORT"

    # No connection: the exact text, and nothing changes.
    local closed="http://127.0.0.1:$(upd_closed_port)"
    upd_run offline --check --server "$closed"
    upd_expect_status offline 2
    upd_expect_err offline "$upd_connection_error"
    upd_run offline-update --server "$closed" </dev/null
    upd_expect_status offline-update 2
    upd_expect_err offline-update "$upd_connection_error"
    upd_expect_in_use offline-update "$old" "$WORK/src/old.bx"

    # Up to date.
    upd_page "$www" "$old.zip"
    upd_run current --check --server "$server"
    upd_expect_status current 0
    grep -qx "Up to date: $old.zip" "$WORK/current.out" || upd_fail "current: $(cat "$WORK/current.out")"

    # A newer archive, named in upper case: offered, in lower case.
    upd_reference "$WORK/src/new5.bx" "Program One" "Program Two"
    upd_archive "$www/def/brindlex5_020301.bx.zip" "brindlex5_020301.bx=$WORK/src/new5.bx" \
        "readme.txt=$WORK/src/new5.bx"
    upd_sign "$www/def/brindlex5_020301.bx.zip"
    # The publisher's check agrees with the program's.
    bx db verify "$(win_path "$www/def/brindlex5_020301.bx.zip")" \
        --key "$(win_path "$WORK/keys/test.pub")" >/dev/null || upd_fail "db verify: good signature"
    set +e
    bx db verify "$(win_path "$www/def/brindlex5_020301.bx.zip")" \
        --key "$(win_path "$WORK/keys/other.pub")" >/dev/null
    UPD_STATUS=$?
    set -e
    [ "$UPD_STATUS" -eq 1 ] || upd_fail "db verify with another key exited $UPD_STATUS"
    upd_page "$www" "BRINDLEX5_020301.BX.ZIP"
    upd_run offered --check --server "$server"
    upd_expect_status offered 1
    grep -qx "Update available: brindlex5_020301.bx.zip" "$WORK/offered.out" ||
        upd_fail "offered: $(cat "$WORK/offered.out")"

    # The update installs from the server "updsrv" names, switches "rfp" and
    # "df" and deletes the old file.
    bx settings set updsrv "$server/" >/dev/null
    upd_run install </dev/null
    upd_expect_status install 0
    local new5="$PROG_WIN\\brindlex5_020301.bx"
    [ "$(cat "$WORK/install.out")" = "$new5" ] || upd_fail "install printed $(cat "$WORK/install.out")"
    upd_expect_err install "Download Status: 100% Complete"
    [ "$(upd_setting rfp)" = "$new5" ] || upd_fail "install: rfp is $(upd_setting rfp)"
    [ "$(upd_setting df)" = brindlex5_020301.bx ] || upd_fail "install: df is $(upd_setting df)"
    [ ! -e "$PROG_DIR/$old" ] || upd_fail "install: the old file is still there"
    cmp -s "$PROG_DIR/brindlex5_020301.bx" "$WORK/src/new5.bx" || upd_fail "install: new file"
    [ -f "$PROG_DIR/readme.txt" ] || upd_fail "install: readme.txt not unpacked"
    [ ! -e "$PROG_DIR/brindlex5_020301.bx.zip" ] || upd_fail "install: the archive was kept"
    bx db info | tr -d '\r' | grep -qx 'entries: 2' || upd_fail "install: the new file does not load"
    grep -q "GET /def/def_zip.html Microsoft Internet Explorer" "$www.log" ||
        upd_fail "the page was not asked for as the program: $(cat "$www.log")"
    grep -q "GET /def/brindlex5_020301.bx.zip.sig" "$www.log" || upd_fail "no signature fetched"

    # The same name again, its file present: the question, answered No...
    upd_page "$www" "brindlex5_020301.bx.zip"
    : >"$www.log"
    printf 'n\n' >"$WORK/no.txt"
    upd_run same-no <"$WORK/no.txt"
    upd_expect_status same-no 1
    upd_expect_err same-no "Your reference file is already updated!"
    upd_expect_err same-no "Do you still want to download the latest file?"
    ! grep -q "\.zip" "$www.log" || upd_fail "same-no: downloaded anyway"
    # ... and Yes: the new name equals the old path, so the file is kept.
    upd_reference "$WORK/src/new5b.bx" "Program One" "Program Two" "Program Three"
    upd_archive "$www/def/brindlex5_020301.bx.zip" "brindlex5_020301.bx=$WORK/src/new5b.bx"
    upd_sign "$www/def/brindlex5_020301.bx.zip"
    upd_run same-yes --yes
    upd_expect_status same-yes 0
    upd_expect_err same-yes "Your reference file is already updated!"
    upd_expect_in_use same-yes brindlex5_020301.bx "$WORK/src/new5b.bx"

    # The same name with the file absent: downloaded without a question.
    rm "$PROG_DIR/brindlex5_020301.bx"
    upd_run same-absent </dev/null
    upd_expect_status same-absent 0
    ! grep -q "already updated" "$WORK/same-absent.err" || upd_fail "same-absent asked"
    upd_expect_in_use same-absent brindlex5_020301.bx "$WORK/src/new5b.bx"
    cp "$PROG_DIR/brindlex5_020301.bx" "$WORK/src/current.bx"
    ls "$PROG_DIR" | sort >"$WORK/listing-before"

    # A signature by another key, then none at all: nothing installed.
    upd_reference "$WORK/src/new6.bx" "Program Six"
    upd_archive "$www/def/brindlex6_030101.bx.zip" "brindlex6_030101.bx=$WORK/src/new6.bx"
    upd_sign "$www/def/brindlex6_030101.bx.zip" "$WORK/keys/other.key"
    upd_page "$www" "brindlex6_030101.bx.zip"
    for case in wrong-key no-signature; do
        [ "$case" = no-signature ] && rm "$www/def/brindlex6_030101.bx.zip.sig"
        upd_run "$case" </dev/null
        upd_expect_status "$case" 2
        upd_expect_err "$case" "The downloaded update failed its integrity check and was not installed."
        upd_expect_in_use "$case" brindlex5_020301.bx "$WORK/src/current.bx"
        ls "$PROG_DIR" | sort | cmp -s - "$WORK/listing-before" ||
            upd_fail "$case: the program's folder changed: $(ls "$PROG_DIR")"
    done

    # A signed archive with a member that climbs out: nothing installed,
    # nothing written outside the folder.
    upd_reference "$WORK/src/new7.bx" "Program Seven"
    echo outside >"$WORK/src/evil.txt"
    upd_archive "$www/def/brindlex7_040101.bx.zip" "brindlex7_040101.bx=$WORK/src/new7.bx" \
        "..\\evil.txt=$WORK/src/evil.txt"
    upd_sign "$www/def/brindlex7_040101.bx.zip"
    upd_page "$www" "brindlex7_040101.bx.zip"
    upd_run climb </dev/null
    upd_expect_status climb 2
    upd_expect_err climb "could not be loaded and was not installed"
    [ ! -e "$PROG_DIR/../evil.txt" ] || upd_fail "climb: wrote outside the program's folder"
    upd_expect_in_use climb brindlex5_020301.bx "$WORK/src/current.bx"
    ls "$PROG_DIR" | sort | cmp -s - "$WORK/listing-before" ||
        upd_fail "climb: the program's folder changed: $(ls "$PROG_DIR")"

    # Abort during a slow download: the old file stays in use, no partial
    # archive is left.
    local slow=$WORK/slow
    upd_reference "$WORK/src/new8.bx" "Program Eight"
    head -c 600000 /dev/urandom >"$WORK/src/padding.bin"
    upd_archive "$slow/def/brindlex8_050101.bx.zip" "brindlex8_050101.bx=$WORK/src/new8.bx" \
        "padding.bin=$WORK/src/padding.bin"
    upd_sign "$slow/def/brindlex8_050101.bx.zip"
    upd_page "$slow" "brindlex8_050101.bx.zip"
    upd_start_server "$slow" 30000  # some twenty seconds for the whole archive
    upd_run abort --server "http://127.0.0.1:$UPD_PORT" --timeout 3 </dev/null
    upd_expect_status abort 2
    upd_expect_err abort "Download failed.  Error = 0x80004004"
    upd_expect_in_use abort brindlex5_020301.bx "$WORK/src/current.bx"
    ls "$PROG_DIR" | sort | cmp -s - "$WORK/listing-before" ||
        upd_fail "abort: the program's folder changed: $(ls "$PROG_DIR")"

    upd_stop_servers
}
