#!/usr/bin/env bash
# Launch blocking with the real brindlex.exe and butils.dll on a Wine virtual
# desktop. Two launchers: "before" runs before the program loads the module
# into it, "after" is started by "before" once it is guarded. The Reference
# file lists three copies of a marker-writing program in C:\Tools; a fourth
# copy is unlisted.
#   gui_launch.sh BRINDLEX.exe BXPROBE.exe LAUNCH_AGENT.exe LAUNCH_TARGET.exe
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/gui_lib.sh"
bin=$(dirname "$1")
[ -f "$bin/butils.dll" ] || e2e_fail "no butils.dll beside brindlex.exe"
e2e_new_prefix "$1" "$bin/butils.dll" "$2" "$3"
gui_display
shots=${BX_SCREENSHOT_DIR:-$E2E_DIR/shots}
mkdir -p "$shots"
tools="$WINEPREFIX/drive_c/Tools"
mkdir -p "$tools"
for name in trickster lockedout sneaky plain; do cp "$4" "$tools/$name.exe"; done

cat >"$E2E_DIR/reference.xml" <<'XML'
<BX TOTAL="3">
<SW NAME="Trickster Demo"><FILES><FILE NAME="trickster.exe" PATH="C:\Tools\" /></FILES><DANGER_LEVEL>2</DANGER_LEVEL><DESCRIPTION>A test program.</DESCRIPTION></SW>
<SW NAME="Lockout Demo"><FILES><FILE NAME="lockedout.exe" PATH="C:\Tools" /></FILES><DANGER_LEVEL>1</DANGER_LEVEL><DESCRIPTION>A test program.</DESCRIPTION></SW>
<SW NAME="Sneaky Demo"><FILES><FILE NAME="sneaky.exe" PATH="C:\Tools" /></FILES><DANGER_LEVEL>1</DANGER_LEVEL><DESCRIPTION>A test program.</DESCRIPTION></SW>
</BX>
XML
python3 "$e2e_root/scripts/pack_reference.py" "$e2e_root/refdb/Scramble.h" \
    "$E2E_DIR/reference.xml" "$E2E_PROGRAM_DIR/launch.bx"

key='HKCU\Software\Brindlex5'
setting() { $WINE reg add "$key" /v "$1" /d "$2" /f >/dev/null 2>&1; }
setting_value() {
    $WINE reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_SZ *//p"
}
setting firstrun 0
setting rfp 'C:\Program Files\Brindlex\launch.bx'
# Only launch blocking runs, so no other shield asks anything meanwhile.
for name in ghmpg iehj gfv hsts cokieshld strupshld hnt; do setting "$name" 0; done
setting rltime 1
setting BlockExe 'C:\Tools\lockedout.exe'

probe() { gui_run bxprobe.exe "$@" | tr -d '\r'; return "${PIPESTATUS[0]}"; }
agent() { gui_run launch_agent.exe "$@" | tr -d '\r'; return "${PIPESTATUS[0]}"; }
marker() { printf 'C:\\Tools\\%s.ran' "$1"; }
ran() { [ -e "$tools/$1.ran" ]; }
pid_of() { agent ask "$1" pid | sed -n 's/^pid //p'; }
guarded() { agent has-module "$1" butils.dll >/dev/null; }
# Waits until the module is in (or, with "not", out of) process $1.
wait_module() {  # wait_module PID [not]
    local _
    for _ in $(seq 100); do
        if [ "${2:-}" = not ]; then guarded "$1" || return 0; else guarded "$1" && return 0; fi
        sleep 0.2
    done
    return 1
}
# Runs an agent command in the background; its reply lands in $E2E_DIR/$1.
ask_async() {  # ask_async TAG AGENT COMMAND...
    local tag=$1
    shift
    agent ask "$@" >"$E2E_DIR/$tag" 2>&1 &
    async=$!
}
expected='is trying to run an executable named'

# The launcher that exists before the program.
gui_run launch_agent.exe agent before >"$E2E_DIR/before.log" 2>&1 &
before=$(pid_of before)
[ -n "$before" ] || e2e_fail "the first launcher did not start"
guarded "$before" && e2e_fail "the first launcher has the module before the program ran"

gui_run brindlex.exe >"$E2E_DIR/brindlex.log" 2>&1 &
program=$!
probe visible 'Brindlex v5.0' 60000 || e2e_fail "the main window did not appear"
wait_module "$before" || e2e_fail "the module did not reach the running launcher"

# Started by a guarded process after injection: the module is there at once.
agent ask before spawn after | grep -q '^pid ' || e2e_fail "could not start the second launcher"
after=$(pid_of after)
guarded "$after" || e2e_fail "the second launcher runs without the module"

# A listed program: the alert asks; No fails CreateProcessW with 5 and the
# program never ran.
ask_async no.txt after create 'C:\Tools\trickster.exe' "$(marker trickster)"
agent popup-wait 20000 >"$E2E_DIR/alert.txt" || e2e_fail "no alert for trickster.exe"
grep -qxF '(Trickster Demo) is trying to run an executable named (trickster.exe), Do you want to run it?' \
    "$E2E_DIR/alert.txt" || e2e_fail "alert text: $(cat "$E2E_DIR/alert.txt")"
grep -qx 'check box' "$E2E_DIR/alert.txt" || e2e_fail "the alert has no check box"
sleep 1.5  # the popup has slid in
probe shot 'Executable Trying to Run' 'C:\launch_alert.png' || true
cp "$WINEPREFIX/drive_c/launch_alert.png" "$shots/" 2>/dev/null || true
agent popup-answer no || e2e_fail "could not answer No"
wait "$async" || true
[ "$(cat "$E2E_DIR/no.txt")" = "error 5" ] || e2e_fail "No gave: $(cat "$E2E_DIR/no.txt")"
ran trickster && e2e_fail "trickster.exe ran after No"

# From the launcher that was there before: Yes with the box ticked runs it
# and remembers the answer; the next launch runs without asking.
ask_async yes.txt before create 'C:\Tools\trickster.exe' "$(marker trickster)"
agent popup-wait 20000 >/dev/null || e2e_fail "no alert in the first launcher"
agent popup-answer yes check || e2e_fail "could not answer Yes"
wait "$async" || true
[ "$(cat "$E2E_DIR/yes.txt")" = "exit 0" ] || e2e_fail "Yes gave: $(cat "$E2E_DIR/yes.txt")"
ran trickster || e2e_fail "trickster.exe did not run after Yes"
[ "$(setting_value IgnoreExe)" = 'C:\Tools\trickster.exe' ] ||
    e2e_fail "IgnoreExe holds '$(setting_value IgnoreExe)'"
rm -f "$tools/trickster.ran"
ask_async again.txt after create 'C:\Tools\trickster.exe' "$(marker trickster)"
agent popup-wait 3000 >/dev/null && e2e_fail "asked again after the box was ticked"
wait "$async" || true
[ "$(cat "$E2E_DIR/again.txt")" = "exit 0" ] && ran trickster ||
    e2e_fail "the remembered launch gave: $(cat "$E2E_DIR/again.txt")"

# "BlockExe": refused without a word. Unlisted: runs without a word.
ask_async blocked.txt after create 'C:\Tools\lockedout.exe' "$(marker lockedout)"
agent popup-wait 3000 >/dev/null && e2e_fail "asked about a program in BlockExe"
wait "$async" || true
[ "$(cat "$E2E_DIR/blocked.txt")" = "error 5" ] ||
    e2e_fail "BlockExe gave: $(cat "$E2E_DIR/blocked.txt")"
ran lockedout && e2e_fail "lockedout.exe ran"
ask_async plain.txt after create 'C:\Tools\plain.exe' "$(marker plain)"
agent popup-wait 3000 >/dev/null && e2e_fail "asked about an unlisted program"
wait "$async" || true
[ "$(cat "$E2E_DIR/plain.txt")" = "exit 0" ] && ran plain ||
    e2e_fail "the unlisted program gave: $(cat "$E2E_DIR/plain.txt")"
[ "$(setting_value BlockExe)" = 'C:\Tools\lockedout.exe' ] || e2e_fail "BlockExe changed"

# ShellExecuteW and cmd.exe /c are caught too. No without the box is not
# remembered: a shell that retries a refused start in another way is asked
# about again, and every alert is answered No.
answer_no_until_done() {  # answer_no_until_done AGENT_PID; sets $alerts
    alerts=0
    local _
    for _ in $(seq 150); do
        kill -0 "$async" 2>/dev/null || break
        if agent popup-wait 300 >>"$E2E_DIR/alerts.txt"; then
            agent popup-answer no || e2e_fail "could not answer No"
            alerts=$((alerts + 1))
        fi
        # The shell may report the refused start in a message box of its own.
        agent dismiss "$1" >>"$E2E_DIR/boxes.txt" || true
    done
    wait "$async" || true
}
ask_async shell.txt after shell 'C:\Tools\sneaky.exe' "$(marker sneaky)"
agent popup-wait 20000 >"$E2E_DIR/alert.txt" || e2e_fail "no alert for ShellExecuteW"
grep -qF '(Sneaky Demo) is trying to run an executable named (sneaky.exe)' "$E2E_DIR/alert.txt" ||
    e2e_fail "ShellExecuteW alert: $(cat "$E2E_DIR/alert.txt")"
answer_no_until_done "$after"
shell_alerts=$alerts
result=$(sed -n 's/^result //p' "$E2E_DIR/shell.txt")
[ -n "$result" ] && [ "$result" -le 32 ] || e2e_fail "ShellExecuteW gave: $(cat "$E2E_DIR/shell.txt")"
sleep 1
ran sneaky && e2e_fail "sneaky.exe ran through ShellExecuteW"
ask_async cmd.txt after cmd 'C:\Tools\sneaky.exe' "$(marker sneaky)"
agent popup-wait 20000 >"$E2E_DIR/alert.txt" || e2e_fail "no alert for cmd.exe /c"
grep -qF "$expected (sneaky.exe)" "$E2E_DIR/alert.txt" || e2e_fail "cmd alert: $(cat "$E2E_DIR/alert.txt")"
answer_no_until_done "$after"
cmd_alerts=$alerts
grep -q '^exit ' "$E2E_DIR/cmd.txt" && ! grep -qx 'exit 0' "$E2E_DIR/cmd.txt" ||
    e2e_fail "cmd.exe /c gave: $(cat "$E2E_DIR/cmd.txt")"
ran sneaky && e2e_fail "sneaky.exe ran through cmd.exe"
[ -z "$(setting_value IgnoreExe | grep -i sneaky)" ] || e2e_fail "a No without the box was remembered"
[ -z "$(setting_value BlockExe | grep -i sneaky)" ] || e2e_fail "a No without the box was remembered"

# The tray's "Disable Real-Time Protection" takes the module out of both
# launchers; with nothing left to ask, a listed program starts unasked.
probe command 'Brindlex v5.0' 32771 || e2e_fail "could not send the tray command"
wait_module "$before" not || e2e_fail "the module stayed in the first launcher"
wait_module "$after" not || e2e_fail "the module stayed in the second launcher"
[ "$(setting_value rltime)" = 0 ] || e2e_fail "rltime is '$(setting_value rltime)'"
ask_async off.txt after create 'C:\Tools\sneaky.exe' "$(marker sneaky)"
agent popup-wait 3000 >/dev/null && e2e_fail "asked while real-time protection was off"
wait "$async" || true
[ "$(cat "$E2E_DIR/off.txt")" = "exit 0" ] && ran sneaky ||
    e2e_fail "with protection off: $(cat "$E2E_DIR/off.txt")"
rm -f "$tools/sneaky.ran"

# On again: the running launchers get the module back.
probe command 'Brindlex v5.0' 32771 || e2e_fail "could not send the tray command"
wait_module "$after" || e2e_fail "the module did not come back"
[ "$(setting_value rltime)" = 1 ] || e2e_fail "rltime is '$(setting_value rltime)'"

# The program killed while a launcher waits for its answer: the launch goes
# ahead instead of waiting for an answer that cannot come.
ask_async killed.txt after create 'C:\Tools\sneaky.exe' "$(marker sneaky)"
agent popup-wait 20000 >/dev/null || e2e_fail "no alert before the kill"
# An unlisted program needs no answer from the user: it does not wait
# behind the open alert.
rm -f "$tools/plain.ran"
[ "$(agent ask before create 'C:\Tools\plain.exe' "$(marker plain)")" = "exit 0" ] && ran plain ||
    e2e_fail "an unlisted program waited behind the open alert"
start=$SECONDS
agent kill brindlex.exe || e2e_fail "could not end brindlex.exe"
wait "$async" || true
waited=$((SECONDS - start))
[ "$(cat "$E2E_DIR/killed.txt")" = "exit 0" ] && ran sneaky ||
    e2e_fail "after the kill: $(cat "$E2E_DIR/killed.txt")"
[ "$waited" -lt 30 ] || e2e_fail "the launch waited $waited s after the kill"
wait "$program" 2>/dev/null || true

agent ask after quit >/dev/null || true
agent ask before quit >/dev/null || true
echo "PASS (alerts: ShellExecuteW $shell_alerts, cmd.exe $cmd_alerts; the launch went ahead ${waited} s after the kill)"
