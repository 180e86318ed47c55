#!/usr/bin/env bash
# Runs every fuzz target for a bounded time (default 60 s each) with clang,
# libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer. New inputs go
# to build/fuzz/work/<target>; the seeds in the source tree stay untouched.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-60}
shift || true
declare -A corpus=(
    [markup_reader_fuzzer]=refdb/fuzz/corpus
    [reference_loader_fuzzer]=refdb/fuzz/corpus
    [zip_reader_fuzzer]=zip/fuzz/corpus
    [reg_text_fuzzer]=platform/fuzz/corpus
    [hive_file_fuzzer]=platform/fuzz/hive-corpus
    [update_page_fuzzer]=update/fuzz/corpus
    [manifest_fuzzer]=removal/fuzz/corpus
    [menu_order_fuzzer]=shields/places/fuzz/corpus
    [launch_message_fuzzer]=realtime/fuzz/corpus
    [prefs_lines_fuzzer]=browser/fuzz/corpus
)
targets=("$@")
((${#targets[@]})) || targets=("${!corpus[@]}")

./scripts/setup.sh
cmake --preset fuzz >build/fuzz-configure.log 2>&1 || { cat build/fuzz-configure.log; exit 1; }
cmake --build --preset fuzz --target "${targets[@]}" >build/fuzz-build.log 2>&1 ||
    { tail -n 40 build/fuzz-build.log; exit 1; }
status=0
for target in "${targets[@]}"; do
    work="build/fuzz/work/$target"
    mkdir -p "$work"
    log="build/fuzz/$target.log"
    if build/fuzz/bin/"$target" -max_total_time="$seconds" -rss_limit_mb=2048 \
        "$work" "${corpus[$target]}" >"$log" 2>&1; then
        echo "$target: no crash in ${seconds}s ($(grep -oE 'Done [0-9]+ runs' "$log" | tail -n 1))"
    else
        echo "$target: FAILED, see $log"
        grep -E "ERROR|SUMMARY" "$log" | head -n 5
        status=1
    fi
done
exit $status
