#!/usr/bin/env bash
# The hosts file, favorites and cookie shields of a running brindlex.exe,
# with the changes made by other programs (cmd.exe) and every alert answered
# from outside through bxprobe.exe, as a user would click it:
#  - an address line appended to hosts is asked about once with that line;
#    No rewrites the file without it, every other byte kept; Yes keeps it;
#    a new comment is never asked about;
#  - a shortcut dropped into Favorites is asked about with its address; No
#    deletes it about two seconds later, with no second question; a new
#    folder is not asked about;
#  - a cookie of a site the Reference file names is asked about; the ticked
#    box with No blocks it (decision 1: the next one goes at once), with Yes
#    ignores it (2: kept silently); a cookie of another site is never asked
#    about;
#  - "Ignored Cookies" (places_gui_tests.exe, over the same registry) lists
#    those two decisions, and "Remove Selected" on the blocked one makes the
#    running shield ask about that cookie again.
# Screenshots of the alerts and the window land in BX_SCREENSHOT_DIR.
#   gui_places.sh BRINDLEX.exe BXPROBE.exe BXCLI.exe PLACES_GUI_TESTS.exe
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/gui_lib.sh"
bin=$(dirname "$1")
e2e_new_prefix "$1" "$2" "$3" "$4" "$bin/brindlex4_010907.bx"
gui_display
shots=${BX_SCREENSHOT_DIR:-$E2E_DIR/shots}
mkdir -p "$shots"
probe() { gui_run bxprobe.exe "$@" | tr -d '\r'; return "${PIPESTATUS[0]}"; }
# Runs one cmd.exe command line: the other program that changes things.
other() { $WINE cmd /c "$@" >/dev/null 2>&1 || e2e_fail "cmd /c $* failed"; }

user=$(ls "$WINEPREFIX/drive_c/users" | grep -vx Public | head -1)
profile="C:\\users\\$user"
hosts_unix="$WINEPREFIX/drive_c/windows/system32/drivers/etc/hosts"
hosts='C:\windows\system32\drivers\etc\hosts'
favorites_unix="$WINEPREFIX/drive_c/users/$user/Favorites"
favorites="$profile\\Favorites"
cookies_unix="$WINEPREFIX/drive_c/users/$user/AppData/Local/Microsoft/Windows/INetCookies"
cookies="$profile\\AppData\\Local\\Microsoft\\Windows\\INetCookies"
mkdir -p "$favorites_unix" "$cookies_unix" "$WINEPREFIX/drive_c/staging"

# Comments and both line ends: all of it must survive a refusal byte for
# byte.
printf '# hosts of this machine\r\n127.0.0.1       localhost\r\n# keep me\n::1 localhost\n# last\r\n' \
    >"$hosts_unix"
cp "$hosts_unix" "$E2E_DIR/hosts.original"

e2e_run bxcli.exe settings defaults >/dev/null
for setting in ghmpg iehj rltime strupshld hnt; do
    e2e_run bxcli.exe settings set "$setting" 0 >/dev/null
done
for setting in gfv hsts cokieshld; do
    e2e_run bxcli.exe settings set "$setting" 1 >/dev/null
done
e2e_run bxcli.exe settings set firstrun 0 >/dev/null
e2e_run bxcli.exe settings set rfp 'C:\Program Files\Brindlex\brindlex4_010907.bx' >/dev/null

$WINE reg add 'HKLM\Software\Microsoft\Internet Explorer\Main' /f >/dev/null 2>&1

gui_run brindlex.exe >"$E2E_DIR/brindlex.log" 2>&1 &
program=$!
probe visible 'Brindlex v5.0' 30000 || e2e_fail "the main window did not appear"
# No "Could not install Favorites shield" box. The registry monitors may
# report keys this prefix lacks; those boxes are closed.
while probe wait 'Brindlex' 3000; do
    box=$(probe text Brindlex 65535)
    [ "$box" != 'Could not install Favorites shield' ] || e2e_fail "the Favorites shield did not install"
    echo "closed a box at start: $box"
    probe command Brindlex 1 || true
    probe gone Brindlex 5000 || e2e_fail "the box \"$box\" stayed"
done

# expect_alert TITLE TEXT SHOT: exactly one alert with that title and text.
expect_alert() {
    probe wait "$1" 20000 || e2e_fail "no \"$1\" alert"
    local text count
    text=$(probe text "$1" 1006)
    [ "$text" = "$2" ] || e2e_fail "\"$1\" says: $text"
    count=$(probe count "$1")
    [ "$count" = 1 ] || e2e_fail "$count \"$1\" alerts"
    # Once it has slid in.
    sleep 1.5
    probe shot "$1" "C:\\$3" || e2e_fail "no picture of \"$1\""
    cp "$WINEPREFIX/drive_c/$3" "$shots/"
}
# answer TITLE yes|no [tick]
answer() {
    [ "${3:-}" = tick ] && { probe check "$1" 1000 || e2e_fail "could not tick the box of \"$1\""; }
    probe command "$1" "$([ "$2" = yes ] && echo 1084 || echo 1085)" || e2e_fail "could not answer \"$1\""
    probe gone "$1" 10000 || e2e_fail "\"$1\" stayed open"
}
# no_alert TITLE SECONDS WHAT
no_alert() {
    if probe wait "$1" "$(($2 * 1000))"; then
        e2e_fail "$3 was asked about: $(probe text "$1" 1006)"
    fi
}
# until_true SECONDS COMMAND...: polls the command.
until_true() {
    local tries=$(($1 * 10))
    shift
    for _ in $(seq "$tries"); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

# --- hosts ---
other "echo 10.6.6.6 bank.example>>$hosts"
expect_alert 'Hosts File Changed' \
    'An Attempt was made to add (10.6.6.6 bank.example) in Hosts File, Do you want to Authorize this addition?' \
    places_hosts_alert.png
answer 'Hosts File Changed' no
cmp -s "$hosts_unix" "$E2E_DIR/hosts.original" ||
    e2e_fail "hosts after No: $(od -c "$hosts_unix" | head -20)"
no_alert 'Hosts File Changed' 3 "the rewrite"

other "echo 10.7.7.7 kept.example>>$hosts"
expect_alert 'Hosts File Changed' \
    'An Attempt was made to add (10.7.7.7 kept.example) in Hosts File, Do you want to Authorize this addition?' \
    places_hosts_alert_yes.png
answer 'Hosts File Changed' yes
grep -q '^10.7.7.7 kept.example' "$hosts_unix" || e2e_fail "Yes did not keep the line"
other "echo # only a note>>$hosts"
no_alert 'Hosts File Changed' 4 "a comment"
grep -q '^# only a note' "$hosts_unix" || e2e_fail "the comment went"
[ ! -e "$hosts_unix.brindlex-new" ] || e2e_fail "the rewrite left its file"

# --- favorites ---
printf '[InternetShortcut]\r\nURL=http://pills.example/offer\r\n' \
    >"$WINEPREFIX/drive_c/staging/pills.url"
other "move C:\\staging\\pills.url $favorites\\Pills.url"
expect_alert 'Favorite Added' \
    '(http://pills.example/offer) has been added to your favorites list.  Do you authorize this addition?' \
    places_favorite_alert.png
# The two seconds run from the popup's closing, which is after the click.
answered=$(date +%s.%N)
answer 'Favorite Added' no
until_true 15 test ! -e "$favorites_unix/Pills.url" || e2e_fail "the refused shortcut stayed"
gone_after=$(awk -v a="$answered" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }')
awk -v t="$gone_after" 'BEGIN { exit !(t >= 2.0 && t < 10) }' ||
    e2e_fail "deleted $gone_after s after the answer, not about 2 s"
no_alert 'Favorite Added' 4 "the deleted shortcut"
other "mkdir $favorites\\Travel"
no_alert 'Favorite Added' 4 "a new folder"
[ -d "$favorites_unix/Travel" ] || e2e_fail "the new folder went"

# --- cookies ---
cookie() {  # cookie SITE N: moves a cookie file of SITE into the folder
    printf 'id\n1\n%s/\n' "$1" >"$WINEPREFIX/drive_c/staging/cookie.txt"
    other "move C:\\staging\\cookie.txt $cookies\\$user@$1[$2].txt"
}
decision() {  # decision NAME: the recorded REG_DWORD, or "none"
    local out
    out=$($WINE reg query 'HKCU\Software\Brindlex5\Cookies' /v "$1" 2>/dev/null | tr -d '\r' |
        awk '/REG_DWORD/ { print $NF }')
    echo "${out:-none}"
}
cookie news.example 1
no_alert 'New Cookie Added' 4 "a cookie of a site the Reference file does not name"
[ -e "$cookies_unix/$user@news.example[1].txt" ] || e2e_fail "the other site's cookie went"

cookie adtrakkle 1
expect_alert 'New Cookie Added' \
    'An Attempt was made to add (adtrakkle) Cookie, Do you want to Authorize this addition?' \
    places_cookie_alert.png
answer 'New Cookie Added' no tick
until_true 5 test ! -e "$cookies_unix/$user@adtrakkle[1].txt" || e2e_fail "the refused cookie stayed"
[ "$(decision adtrakkle)" = 0x1 ] || e2e_fail "adtrakkle decision $(decision adtrakkle)"
cookie adtrakkle 2
until_true 10 test ! -e "$cookies_unix/$user@adtrakkle[2].txt" || e2e_fail "a blocked cookie stayed"
no_alert 'New Cookie Added' 2 "a blocked cookie"

cookie cobbleclick 1
expect_alert 'New Cookie Added' \
    'An Attempt was made to add (cobbleclick) Cookie, Do you want to Authorize this addition?' \
    places_cookie_alert_yes.png
answer 'New Cookie Added' yes tick
[ "$(decision cobbleclick)" = 0x2 ] || e2e_fail "cobbleclick decision $(decision cobbleclick)"
other "del $cookies\\$user@cobbleclick[1].txt"
sleep 1
cookie cobbleclick 2
no_alert 'New Cookie Added' 4 "an ignored cookie"
[ -e "$cookies_unix/$user@cobbleclick[2].txt" ] || e2e_fail "an ignored cookie went"

# --- "Ignored Cookies" ---
set +e
BX_PLACES_BLOCKED=adtrakkle BX_PLACES_IGNORED=cobbleclick BX_SCREENSHOT_DIR='C:\shots' \
    gui_run places_gui_tests.exe --gtest_filter=PlacesStep.IgnoredCookies >"$E2E_DIR/ignored.log" 2>&1
status=$?
set -e
[ "$status" = 0 ] || e2e_fail "Ignored Cookies: exit $status: $(tail -30 "$E2E_DIR/ignored.log")"
grep -q '\[  PASSED  \] 1 test' "$E2E_DIR/ignored.log" ||
    e2e_fail "the Ignored Cookies step did not run: $(tail -20 "$E2E_DIR/ignored.log")"
cp "$WINEPREFIX"/drive_c/shots/*.png "$shots/" 2>/dev/null || true
[ "$(decision adtrakkle)" = none ] || e2e_fail "adtrakkle still has decision $(decision adtrakkle)"
[ "$(decision cobbleclick)" = 0x2 ] || e2e_fail "cobbleclick lost its decision"
cookie adtrakkle 3
expect_alert 'New Cookie Added' \
    'An Attempt was made to add (adtrakkle) Cookie, Do you want to Authorize this addition?' \
    places_cookie_alert_again.png
answer 'New Cookie Added' no
until_true 5 test ! -e "$cookies_unix/$user@adtrakkle[3].txt" || e2e_fail "the refused cookie stayed"
[ "$(decision adtrakkle)" = none ] || e2e_fail "No without the box recorded $(decision adtrakkle)"

# The tray's Exit; with shields on it asks first.
probe command 'Brindlex v5.0' 32775 || e2e_fail "could not send Exit"
if probe wait 'Brindlex' 5000; then
    probe command 'Brindlex' 6 || true
fi
probe gone 'Brindlex v5.0' 15000 || e2e_fail "the program did not end"
wait "$program" || true
echo "hosts: refused line removed, accepted line kept, comment silent; favorites: shortcut deleted after $gone_after s, folder silent; cookies: blocked, ignored, other site silent, asked again after Remove Selected"
echo PASS
