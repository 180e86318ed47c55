#!/usr/bin/env bash
# Builds and runs every test tier:
#   1. native unit tests (gcc, AddressSanitizer + UndefinedBehaviorSanitizer)
#   2. Windows test binaries under Wine, incl. the platform conformance suite
#   3. end-to-end runs of the Windows programs under Wine in fresh prefixes
# and prints per tier how many tests ran and passed.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

"$root/scripts/setup.sh" || exit 2
mkdir -p build
export WINEPREFIX="$root/build/wineprefix" WINEDEBUG=-all

jobs=$(nproc)
summary=()
total_passed=0
total_failed=0

# run_tier NAME PRESET LABEL-REGEX
run_tier() {
    local name=$1 preset=$2 labels=$3
    echo "== $name: configure and build ($preset)"
    if ! cmake --preset "$preset" >"build/$preset-configure.log" 2>&1; then
        cat "build/$preset-configure.log"
        summary+=("$name: configure FAILED")
        total_failed=$((total_failed + 1))
        return
    fi
    if ! cmake --build --preset "$preset" -j "$jobs" >"build/$preset-build.log" 2>&1; then
        grep -A 20 -m 5 -E "error|FAILED" "build/$preset-build.log" | head -n 80
        summary+=("$name: build FAILED")
        total_failed=$((total_failed + 1))
        return
    fi
    echo "== $name: run"
    local log="build/$preset-$labels-ctest.log"
    ctest --preset "$preset" -L "$labels" -j "$jobs" --timeout 600 2>&1 | tee "$log" |
        grep -E "^\s*[0-9]+/[0-9]+ Test|tests passed|Failed|\*\*\*" | grep -vE " Passed " || true
    local line ran failed
    line=$(grep -E "tests passed, [0-9]+ tests? failed out of [0-9]+" "$log" | tail -n 1)
    if [ -z "$line" ]; then
        summary+=("$name: no tests ran (FAILED)")
        total_failed=$((total_failed + 1))
        return
    fi
    failed=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    ran=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
    if [ "$ran" -eq 0 ]; then
        summary+=("$name: no tests ran (FAILED)")
        total_failed=$((total_failed + 1))
        return
    fi
    summary+=("$name: $ran tests ran, $((ran - failed)) passed, $failed failed")
    total_passed=$((total_passed + ran - failed))
    total_failed=$((total_failed + failed))
}

run_tier "tier 1 (native unit tests)" native unit
# Windows programs that make windows need a display: without one, a private
# virtual display serves the Windows tiers.
if [ -z "${DISPLAY:-}" ]; then
    for n in $(seq 90 120); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
    done
    Xvfb ":$n" -nolisten tcp -screen 0 1024x768x24 >/dev/null 2>&1 &
    xvfb_pid=$!
    trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
    export DISPLAY=":$n"
    for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X$n" ] && break
        sleep 0.1
    done
fi

run_tier "tier 2 (Windows tests under Wine)" windows unit
run_tier "tier 3 (end-to-end under Wine)" windows e2e

echo
echo "== Summary"
printf '%s\n' "${summary[@]}"
if compgen -G "build/windows/screenshots/*.png" >/dev/null; then
    echo "screenshots of the windows: $root/build/windows/screenshots"
fi
echo "tests: $total_passed passed, $total_failed failed"
[ "$total_failed" -eq 0 ]
