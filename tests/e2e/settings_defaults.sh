#!/usr/bin/env bash
# bxcli.exe settings defaults writes the whole default table into the real
# (Wine) registry, and the registry's own tool sees it.
source "$(dirname "$0")/lib.sh"
e2e_new_prefix "$1"

# The browser's own pages: a start page to keep, a search page of no known
# portal to replace.
main='HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\Main'
$WINE reg add "$main" /v "Start Page" /d "http://home.example/" /f >/dev/null
$WINE reg add "$main" /v "Search Page" /d "http://hijack.example/find" /f >/dev/null

out=$(e2e_run bxcli.exe settings defaults) || e2e_fail "settings defaults exited $?: $out"
echo "$out"

query=$($WINE reg query 'HKEY_CURRENT_USER\Software\Brindlex5' | tr -d '\r')
echo "$query"

expect() {  # name type data
    grep -qE "^\s+$1\s+$2\s+$(printf '%s' "$3" | sed 's/[][\.*^$]/\\&/g')\s*$" <<<"$query" ||
        e2e_fail "$1 is not $2 \"$3\""
}
folder='C:\Program Files\Brindlex'
expect pv REG_SZ 5.0
expect df REG_SZ brindlex4_010907.bx
expect abrs REG_SZ 1
expect 'Schedule Scan' REG_SZ 0
expect scantype REG_DWORD 0x1
expect firstrun REG_SZ 0
expect rltime REG_SZ 1
expect srchpge REG_SZ 'https://search.brindlex.invalid/'
expect hmpg REG_SZ 'http://home.example/'
expect path REG_SZ "$folder"
expect xpath REG_SZ "$folder\\xblk.bx"
expect lfp REG_SZ "$folder\\logs"
expect rfp REG_SZ "$folder\\brindlex4_010907.bx"
count=$(grep -cE '^\s+\S.*\s+REG_(SZ|DWORD)' <<<"$query")
[ "$count" -eq 32 ] || e2e_fail "expected 32 values, found $count"
[ -d "$E2E_PROGRAM_DIR/logs" ] || e2e_fail "logs folder was not created"

# Reading back through bxcli agrees with the registry tool.
[ "$(e2e_run bxcli.exe settings get rfp | tr -d '\r')" = "$folder\\brindlex4_010907.bx" ] ||
    e2e_fail "settings get rfp"
e2e_run bxcli.exe settings set scantype 0
[ "$(e2e_run bxcli.exe settings get scantype | tr -d '\r')" = 0 ] || e2e_fail "settings set scantype"
echo "PASS"
