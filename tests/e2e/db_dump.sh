#!/usr/bin/env bash
# bxcli.exe db dump --json on the shipped Reference file expands every macro
# to the folders and the user of the real (Wine) system.
source "$(dirname "$0")/lib.sh"
bin=$(dirname "$1")
e2e_new_prefix "$1" "$bin/brindlex4_010907.bx" "$bin/xblk.bx"

e2e_run bxcli.exe settings defaults >/dev/null
e2e_run bxcli.exe db info | tr -d '\r' | grep -qx 'entries: 48' || e2e_fail "db info"
e2e_run bxcli.exe db dump --json >"$E2E_DIR/dump.json" || e2e_fail "db dump exited $?"

shell_folder() {  # HKCU or HKLM Shell Folders value
    $WINE reg query "$1\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders" \
        /v "$2" | tr -d '\r' | sed -n "s/^ *$2 *REG_SZ *//p"
}
windir=$($WINE cmd /c 'echo %windir%' | tr -d '\r')
appdata=$(shell_folder HKEY_CURRENT_USER AppData)
desktop=$(shell_folder HKEY_CURRENT_USER Desktop)
profile=$($WINE cmd /c 'echo %USERPROFILE%' | tr -d '\r')
sid=$($WINE reg query 'HKEY_USERS' | tr -d '\r' | grep -oE 'S-1-5-21-[0-9-]+$' | head -n 1)
[ -n "$windir" ] && [ -n "$appdata" ] && [ -n "$sid" ] || e2e_fail "could not read the prefix's folders"

python3 - "$E2E_DIR/dump.json" "$windir" "$appdata" "$desktop" "$profile" "$sid" <<'PY'
import json, re, sys
dump, windir, appdata, desktop, profile, sid = sys.argv[1:]
entries = {e["name"]: e for e in json.load(open(dump))}
problems = []
macro = re.compile(r":(WinDir|SysDir|Sys32Dir|PFDir|WinTemp|SysTemp|SysDocs|SysAppData|"
                   r"SysCurProfile|SysStartup|Desktop|AllUsers|MainRoot|AllRoots|SID):")
for e in entries.values():
    for kind in ("directories", "files"):
        for item in e[kind]:
            if macro.search(item["path"]):
                problems.append(f"{e['name']}: unexpanded {item['path']}")
    for kind in ("regKeys", "regValues", "regData"):
        for item in e[kind]:
            if macro.search(item["keyPath"]):
                problems.append(f"{e['name']}: unexpanded {item['keyPath']}")

def paths(name, kind="files"):
    return [i["path"].lower() for i in entries[name][kind]]

def expect(condition, what):
    if not condition:
        problems.append(what)

expect(windir.lower() in paths("Zindle Dialer"), f"Zindle Dialer not in {windir}: {paths('Zindle Dialer')}")
expect(any(p.startswith("c:\\program files\\") for p in paths("Tollvane Toolbar")),
       f"Tollvane not under Program Files: {paths('Tollvane Toolbar')}")
expect(any(p.startswith(appdata.lower()) for p in paths("Vexorin Spy Agent") + paths("Vexorin Spy Agent", "directories")),
       f"Vexorin not under {appdata}")
keys = [k["keyPath"] for k in entries["Vexorin Spy Agent"]["regKeys"] if k["root"] == "HKEY_USERS"]
expect(any(k.startswith(sid + "\\") for k in keys), f"no HKEY_USERS key under {sid}: {keys}")
expect(any(p.startswith(profile.lower()) for e in entries.values() for p in
           [i["path"].lower() for i in e["files"] + e["directories"]] if profile),
       f"nothing under the profile {profile}")
expect(any(p.startswith(desktop.lower()) for e in entries.values() for p in
           [i["path"].lower() for i in e["files"]]), f"nothing on the desktop {desktop}")
if problems:
    print("\n".join(problems))
    sys.exit(1)
print(f"macros expanded: windir={windir} appdata={appdata} profile={profile} sid={sid}")
PY
echo PASS
