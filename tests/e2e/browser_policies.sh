#!/usr/bin/env bash
# Browser policies and Firefox preference lines set by another process:
# bxcli.exe scan --smart --json lists each under the entry that names it (or
# the built-in browser-policy entry), and remove --yes takes out exactly those:
# the other policy values and every other preference line stay byte for byte.
# Usage: browser_policies.sh BXCLI.EXE
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/scan_plant.sh"
bin=$(dirname "$1")
e2e_new_prefix "$1" "$bin/brindlex4_010907.bx"

scan_run "$E2E_DIR/defaults.txt" settings defaults
[ "$status" = 0 ] || e2e_fail "settings defaults: exit $status"
appdata=$(scan_shell_folder AppData)
[ -n "$appdata" ] || e2e_fail "no AppData folder"

chrome='HKCU\Software\Policies\Google\Chrome'
edge='HKCU\Software\Policies\Microsoft\Edge'
put() { $WINE reg add "$1" /v "$2" /t "${4:-REG_SZ}" /d "$3" /f >/dev/null 2>&1 || e2e_fail "reg add $1 $2"; }
put "$chrome" HomepageLocation 'http://www.umberlook.example/start'
put "$chrome\\ExtensionInstallForcelist" 1 'lblbplamhdghlbicigeijlkfkdikabla;https://update.umberlook.example/crx'
put "$chrome" ShowHomeButton 1 REG_DWORD
put "$edge" HomepageLocation 'http://start.nobody.test/'
put "$edge\\ExtensionInstallForcelist" 1 'oipbgjicpaempmfgiedgbjkkbfncjimp'
put "$edge" FavoritesBarEnabled 'keep me'

profile="$appdata\\Mozilla\\Firefox\\Profiles\\e2e.default"
user_js=$(scan_target "$profile\\user.js")
prefs_js=$(scan_target "$profile\\prefs.js")
printf '%s\r\n' '// set by a bundled installer' \
    'user_pref("browser.startup.homepage", "http://forced.test/");' \
    'user_pref("general.smoothScroll", false);' >"$user_js"
printf 'user_pref("browser.startup.homepage", "https://news.example.org/");\nuser_pref("x.y", 1);\n' >"$prefs_js"
cp "$prefs_js" "$E2E_DIR/prefs.before"

scan_run "$E2E_DIR/scan.json" scan --smart --json
[ "$status" = 1 ] || e2e_fail "scan: exit $status: $(cat "$E2E_DIR/scan.json.err")"
python3 - "$E2E_DIR/scan.json" "$profile" <<'PY' || e2e_fail "scan rows"
import json, sys
rows = {(r["type"], r["item"], r["danger"], r["location"]) for r in json.load(open(sys.argv[1]))["rows"]}
profile = sys.argv[2]
builtin = "Browser policy set by another program"
expected = {
    ("RegValue", "Umberlook Homepage Hijacker", "Dangerous",
     r"HKEY_CURRENT_USER\SOFTWARE\Policies\Google\Chrome\HomepageLocation"),
    ("RegValue", "Umberlook Homepage Hijacker", "Dangerous",
     r"HKEY_CURRENT_USER\SOFTWARE\Policies\Google\Chrome\ExtensionInstallForcelist\1"),
    ("RegValue", builtin, "Not Critical",
     r"HKEY_CURRENT_USER\SOFTWARE\Policies\Microsoft\Edge\HomepageLocation"),
    ("RegValue", "Umberlook Homepage Hijacker", "Dangerous",
     r"HKEY_CURRENT_USER\SOFTWARE\Policies\Microsoft\Edge\ExtensionInstallForcelist\1"),
    ("PrefsLine", builtin, "Not Critical",
     profile + r"\user.js (Pref : browser.startup.homepage) (Data : http://forced.test/)"),
}
if rows != expected:
    print("missing:", expected - rows, "\nextra:", rows - expected)
    sys.exit(1)
PY

scan_run "$E2E_DIR/remove.txt" remove --smart --yes
[ "$status" = 0 ] || e2e_fail "remove: exit $status: $(cat "$E2E_DIR/remove.txt" "$E2E_DIR/remove.txt.err")"
for gone in "$chrome HomepageLocation" "$chrome\\ExtensionInstallForcelist 1" \
    "$edge HomepageLocation" "$edge\\ExtensionInstallForcelist 1"; do
    [ -z "$(scan_reg_value ${gone% *} "${gone##* }")" ] || e2e_fail "still there: $gone"
done
[ "$(scan_reg_value "$chrome" ShowHomeButton)" = 0x1 ] || e2e_fail "ShowHomeButton went"
[ "$(scan_reg_value "$edge" FavoritesBarEnabled)" = 'keep me' ] || e2e_fail "FavoritesBarEnabled went"
printf '%s\r\n' '// set by a bundled installer' 'user_pref("general.smoothScroll", false);' >"$E2E_DIR/user.after"
cmp -s "$user_js" "$E2E_DIR/user.after" || e2e_fail "user.js: $(od -c "$user_js" | head)"
cmp -s "$prefs_js" "$E2E_DIR/prefs.before" || e2e_fail "prefs.js changed"
[ ! -e "$user_js.bxnew" ] || e2e_fail "the new text was left beside user.js"
echo "browser policies: listed and removed"
