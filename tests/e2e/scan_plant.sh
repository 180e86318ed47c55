# Shared by the scan scripts (sourced after lib.sh): plants traces of the
# shipped Reference file's programs in the fresh prefix, one or two for every
# step of a scan, and checks bxcli's rows against the expected ones.

# A value as `reg query` prints it.
scan_reg_value() {  # scan_reg_value KEY NAME
    $WINE reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
scan_shell_folder() {
    scan_reg_value 'HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders' "$1"
}
# The host path of a path on drive C: of the prefix.
scan_unix_path() {
    local rest=${1#[Cc]:}
    printf '%s/drive_c%s' "$WINEPREFIX" "$(printf '%s' "$rest" | tr '\\' '/')"
}
# The host path of a file about to be planted; never outside the prefix.
scan_target() {
    local path
    path=$(scan_unix_path "$1")
    case "$(realpath -m "$(dirname "$path")")/" in
        "$(realpath "$WINEPREFIX")"/*) ;;
        *) e2e_fail "$1 lies outside the prefix" ;;
    esac
    mkdir -p "$(dirname "$path")"
    printf '%s' "$path"
}
scan_plant() {  # scan_plant 'C:\x\y.exe' CONTENT
    local path
    path=$(scan_target "$1") || exit 1
    printf '%s' "$2" >"$path"
}
scan_sample() { printf 'brindlex-sample:%s' "$1"; }
# A zip archive with one member: scan_zip 'C:\x\a.zip' MEMBER CONTENT
scan_zip() {
    local path
    path=$(scan_target "$1") || exit 1
    python3 - "$path" "$2" "$3" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as archive:
    archive.writestr("readme.txt", "nothing to see")
    archive.writestr(sys.argv[2], sys.argv[3])
PY
}
# Runs bxcli.exe; its exit status goes to $status, its output (without CR)
# to the file named first.
scan_run() {  # scan_run OUT args...
    local out=$1
    shift
    set +e
    e2e_run bxcli.exe "$@" >"$out.raw" 2>"$out.err"
    status=$?
    set -e
    tr -d '\r' <"$out.raw" >"$out"
}

# Folders of the prefix, as the program sees them.
scan_folders() {
    desktop=$(scan_shell_folder Desktop)
    cookies=$(scan_shell_folder Cookies)
    cache=$(scan_shell_folder Cache)
    temp=$($WINE cmd /c 'echo %TEMP%' 2>/dev/null | tr -d '\r')
    windir=$($WINE cmd /c 'echo %windir%' 2>/dev/null | tr -d '\r')
    sysdir="$windir\\system32"
    user=${desktop%\\*}
    user=${user##*\\}
    [ -n "$desktop" ] && [ -n "$cookies" ] && [ -n "$cache" ] && [ -n "$temp" ] && [ -n "$windir" ] ||
        e2e_fail "could not read the prefix's folders"
}

# Registry items: keys, values, value data of both types and with "*", a
# program referenced from a Run key and one from a class server.
scan_plant_registry() {
    local run='HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run'
    local temp_reg=${temp//\\/\\\\}
    # Written on drive C:, the only drive the prefix has.
    cat >"$WINEPREFIX/drive_c/traces.reg" <<EOF
REGEDIT4

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Dapplefeed]
"Version"="2.1"

[$run]
"bxstage"="$temp_reg\\\\bl_stage2.exe"
"FennigleSmileys"="C:\\\\Program Files\\\\Fennigle\\\\fensmile.exe"
"Pellwick"="C:\\\\Tools\\\\pw.exe"

[HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Main]
"Default_Page_URL"="http://www.umberlook.example/start"

[HKEY_CLASSES_ROOT\\CLSID\\{217065C1-56B0-4874-AE31-929B3B60133D}\\LocalServer32]
@="C:\\\\Tools\\\\vsrv.exe"

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Code Store Database\\Distribution Units\\{217065C1-56B0-4874-AE31-929B3B60133D}]
EOF
    $WINE regedit /S 'C:\traces.reg' 2>/dev/null
    rm "$WINEPREFIX/drive_c/traces.reg"
    $WINE reg add 'HKLM\SYSTEM\CurrentControlSet\Services\SharedAccess\Parameters\FirewallPolicy\StandardProfile' \
        /v EnableFirewall /t REG_DWORD /d 0 /f >/dev/null 2>&1
    $WINE reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings' \
        /v ProxyEnable /t REG_DWORD /d 1 /f >/dev/null 2>&1
    [ "$(scan_reg_value "$run" Pellwick)" = 'C:\Tools\pw.exe' ] || e2e_fail "regedit did not import"
}

# Files: at listed places, found only by checksum (desktop, a listed folder,
# the Windows and system folders, a zip archive), by name only, cookies and
# browser-cache files.
scan_plant_files() {
    scan_plant "$cookies\\$user@adtrakkle[1].txt" "cookie"
    scan_plant "$cookies\\$user@track.cobbleclick.example[2].txt" "cookie"
    scan_plant "$cookies\\$user@unlisted.example[1].txt" "cookie"
    scan_plant "$temp\\bl_stage2.exe" "second stage"
    scan_plant "$desktop\\Security Alert.url" "[InternetShortcut]"
    scan_plant "$windir\\krelldial.exe" "dialer"
    scan_plant "$cache\\BX12AB34\\gorsedial[1].ocx" "cached control"
    mkdir -p "$(scan_unix_path 'C:\Program Files\Tollvane')"
    scan_plant "$sysdir\\wlsvc32.exe" "$(scan_sample wrenlog-keylogger)"
    scan_plant "$desktop\\Downloads\\x.bin" "$(scan_sample larkspin-polymorph)"
    scan_zip "$desktop\\desk.zip" tvbar.bin "$(scan_sample tollvane-toolbar)"
    scan_plant 'C:\Tools\pw.exe' "$(scan_sample pellwick-run-hkcu)"
    scan_plant 'C:\Tools\vsrv.exe' "$(scan_sample vintrel-localserver)"
    scan_plant "$windir\\zz.exe" "$(scan_sample zarnbee-runonce-hklm)"
    scan_plant "$sysdir\\qq.dll" "$(scan_sample snavrel-bho)"
    scan_plant 'C:\Games\rookvane.exe' "by name"
    scan_plant 'C:\Games\Deep\jaskiff.exe' "by name"
}

# The expected rows: "GROUP<TAB>Type<TAB>Danger<TAB>Item<TAB>Location".
# Rows of one group may come in any order (folder listings under Wine are
# not sorted); groups must come in increasing order.
scan_expect_registry() {
    local run='HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run'
    cat <<EOF
1	RegValueData	Severe	Bramblink Dropper	$run (Value : bxstage) (Data : $temp\\bl_stage2.exe)
2	RegKey	Dangerous	Dapplefeed Ticker	HKEY_LOCAL_MACHINE\\SOFTWARE\\Dapplefeed
3	RegValue	Dangerous	Fennigle Smileys	$run\\FennigleSmileys
4	RegValueData	Severe	Frostmote Remote Admin	HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\StandardProfile (Value : EnableFirewall) (Data : 0)
5	RegValue	Dangerous	Pellwick Tray Notifier	$run\\Pellwick
6	RegValueData	Dangerous	Ulvaro Web Accelerator	HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings (Value : ProxyEnable) (Data : 1)
7	RegValueData	Dangerous	Umberlook Homepage Hijacker	HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Main (Value : Default_Page_URL) (Data : http://www.umberlook.example/start)
8	RegKey	Dangerous	Vintrel Media Server	HKEY_CLASSES_ROOT\\CLSID\\{217065C1-56B0-4874-AE31-929B3B60133D}\\LocalServer32
9	RegKey	Dangerous	Vintrel Media Server	HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Code Store Database\\Distribution Units\\{217065C1-56B0-4874-AE31-929B3B60133D}
10	Cookie	Not Critical	Adtrakkle	$cookies\\$user@adtrakkle[1].txt
10	Cookie	Not Critical	Cobbleclick	$cookies\\$user@track.cobbleclick.example[2].txt
11	File	Severe	Bramblink Dropper	$temp\\bl_stage2.exe
12	File	Dangerous	Inkwhistle Security Alert	$desktop\\Security Alert.url
13	File	Severe	Krelldial	$windir\\krelldial.exe
14	File	Severe	Gorsedial	$cache\\BX12AB34\\gorsedial[1].ocx
EOF
}

# Compares bxcli's text output with the expected rows and the summary line.
scan_check_rows() {  # scan_check_rows OUTPUT EXPECTED
    python3 - "$1" "$2" <<'PY'
import re, sys
lines = open(sys.argv[1]).read().splitlines()
expected = [line.split("\t", 1) for line in open(sys.argv[2]).read().splitlines() if line]
assert lines, "no output"
summary = lines[-1]
m = re.fullmatch(r"Scan (Complete|Aborted): (\d+) checked, (\d+) found", summary)
assert m and m.group(1) == "Complete", summary
rows = lines[:-1]
assert int(m.group(3)) == len(rows), summary
group_of = {}
for group, row in expected:
    group_of.setdefault(row, []).append(int(group))
problems = []
missing = [row for _, row in expected if row not in rows]
extra = [row for row in rows if row not in group_of]
if missing:
    problems.append("missing:\n  " + "\n  ".join(missing))
if extra:
    problems.append("unexpected:\n  " + "\n  ".join(extra))
if len(rows) != len(expected):
    problems.append(f"{len(rows)} rows, expected {len(expected)}")
last = 0
for row in rows:
    if row not in group_of:
        continue
    group = group_of[row].pop(0) if len(group_of[row]) > 1 else group_of[row][0]
    if group < last:
        problems.append(f"out of order: {row}")
    last = max(last, group)
if problems:
    print("\n".join(problems))
    print("--- got:\n" + "\n".join(rows))
    sys.exit(1)
print(f"{len(rows)} rows in order")
PY
}
