#!/usr/bin/env bash
# Times bxcli over a Windows disk whose SOFTWARE hive holds KEYS keys (100,000
# by default, built here), against the same registry given as .reg text, in
# one run: opening alone (`settings get rfp`) and a smart scan, each the median
# of three runs. Prints both and the ratio. Not a test: nothing is asserted.
#   windows_disk_benchmark.sh BIN_DIR [KEYS]
# BIN_DIR holds bxcli, bx_make_hive and brindlex4_010907.bx of an unsanitized
# build (build/bench/bin: hivex grows a hive a page at a time by realloc,
# which AddressSanitizer turns into a copy of the whole hive each time).
set -euo pipefail
bin=$(cd "$1" && pwd)
keys=${2:-100000}
dir=$(mktemp -d "${TMPDIR:-/tmp}/bx-disk-bench.XXXXXX")
trap '[ -n "${BX_KEEP:-}" ] || rm -rf "$dir"' EXIT
disk="$dir/disk"
config="$disk/Windows/System32/config"
mkdir -p "$config" "$disk/Users/ann/AppData/Local/Microsoft/Windows" "$dir/prog"
cp "$bin/brindlex4_010907.bx" "$dir/prog/"
program="Z:$(printf '%s' "$dir/prog" | tr '/' '\\')\\bxcli.exe"
sid=S-1-5-21-1-2-3-1001

# A machine of KEYS keys under SOFTWARE (vendors, products, versions, each
# key with three values), a profile list naming one user, and that user's
# hive with a Run key.
awk -v keys="$keys" -v sid="$sid" 'BEGIN {
    print "REGEDIT4\n"
    print "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]"
    print "\"SystemRoot\"=\"C:\\\\Windows\"\n"
    print "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]"
    print "\"ProgramFilesDir\"=\"C:\\\\Program Files\"\n"
    print "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\" sid "]"
    print "\"ProfileImagePath\"=\"C:\\\\Users\\\\ann\"\n"
    n = 0
    for (v = 0; n < keys; v++) {
        for (p = 0; p < 50 && n < keys; p++) {
            for (r = 0; r < 20 && n < keys; r++) {
                printf "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor%d\\Product%d\\Release%d]\n", v, p, r
                printf "\"Version\"=\"%d.%d.%d\"\n\"Installed\"=dword:%08x\n", v, p, r, n
                printf "\"Path\"=\"C:\\\\Program Files\\\\Vendor%d\\\\Product%d\"\n\n", v, p
                n++
            }
        }
    }
    print "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]"
    print "\"Tool\"=\"C:\\\\Tools\\\\tool.exe\""
}' >"$dir/machine.reg"
printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\n"Current"=dword:00000001\n\n[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Control]\n"SystemBootDevice"="disk"\n' >"$dir/system.reg"
"$bin/bx_make_hive" "$dir/machine.reg" 'HKEY_LOCAL_MACHINE\SOFTWARE' "$config/SOFTWARE"
"$bin/bx_make_hive" "$dir/system.reg" 'HKEY_LOCAL_MACHINE\SYSTEM' "$config/SYSTEM"
"$bin/bx_make_hive" "$dir/machine.reg" 'HKEY_CURRENT_USER' "$disk/Users/ann/NTUSER.DAT"
"$bin/bx_make_hive" "$dir/machine.reg" 'HKEY_CURRENT_USER\Software\Classes' \
    "$disk/Users/ann/AppData/Local/Microsoft/Windows/UsrClass.dat"

ondisk() { "$bin/bxcli" --windows-disk "$disk" --read-only --program "$program" "$@"; }
asreg() {
    "$bin/bxcli" --drive "C=$disk" --registry "$dir/machine.reg" --program "$program" \
        --sid "$sid" --env 'USERPROFILE=C:\Users\ann' "$@"
}
# Median wall time in milliseconds of three runs of a command (exit 0 or 1).
median_ms() {
    local times=() start
    for _ in 1 2 3; do
        start=$(date +%s%N)
        "$@" >/dev/null 2>&1 || [ $? -eq 1 ] || { echo "failed: $*" >&2; exit 1; }
        times+=($((($(date +%s%N) - start) / 1000000)))
    done
    printf '%s\n' "${times[@]}" | sort -n | sed -n 2p
}

hive_mb=$(du -m "$config/SOFTWARE" | cut -f1)
reg_mb=$(du -m "$dir/machine.reg" | cut -f1)
open_hive=$(median_ms ondisk settings get rfp)
open_reg=$(median_ms asreg settings get rfp)
scan_hive=$(median_ms ondisk scan --smart --json)
scan_reg=$(median_ms asreg scan --smart --json)
echo "registry of $keys keys: SOFTWARE hive $hive_mb MB, .reg text $reg_mb MB"
printf '%-24s %10s %10s %8s\n' "" "hives" ".reg text" "ratio"
for row in "open:$open_hive:$open_reg" "open + smart scan:$scan_hive:$scan_reg"; do
    IFS=: read -r name hive reg <<<"$row"
    printf '%-24s %7s ms %7s ms %8s\n' "$name" "$hive" "$reg" \
        "$(awk -v a="$hive" -v b="$reg" 'BEGIN { printf "%.2f", b ? a / b : 0 }')"
done
