#!/usr/bin/env bash
# bxcli db: packing and unpacking round trip, counts and dumps of the shipped
# Reference file, and clear failures for damaged files.
set -euo pipefail
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
shipped="$(dirname "$BXCLI")/brindlex4_010907.bx"

"$BXCLI" db unpack "$shipped" "$dir/ref.xml"
cmp -s "$dir/ref.xml" "$SOURCE_DIR/data/reference.xml" || fail "unpack does not give the source back"
"$BXCLI" db pack "$dir/ref.xml" "$dir/ref.bx"
cmp -s "$dir/ref.bx" "$shipped" || fail "pack differs from the build's packing"

"$BXCLI" db info --json "$shipped" >"$dir/info.json"
python3 - "$dir/info.json" <<'PY'
import json, sys
info = json.load(open(sys.argv[1]))
keys = ["total", "entries", "directories", "files", "cookies", "regKeys", "regValues", "regData",
        "classIds", "executables", "cacheFiles", "checksums"]
assert sorted(info) == sorted(keys), sorted(info)
assert info["total"] == info["entries"] == 48, info
assert all(info[k] > 0 for k in keys), info
PY
"$BXCLI" db info "$shipped" | grep -qx 'entries: 48' || fail "db info text"

"$BXCLI" db dump --json "$shipped" >"$dir/dump.json"
python3 - "$dir/dump.json" <<'PY'
import json, sys
entries = json.load(open(sys.argv[1]))
assert len(entries) == 48
fields = {"name", "dangerLevel", "ignored", "description", "directories", "files", "cookies",
          "regKeys", "regValues", "regData"}
for e in entries:
    assert set(e) == fields, set(e) ^ fields
    for f in e["files"]:
        assert set(f) == {"name", "path", "md5", "isLsp"}, f
    for d in e["regData"]:
        assert set(d) == {"root", "keyPath", "valueName", "data", "fix", "deleteValue"}, d
    for v in e["regValues"]:
        assert set(v) == {"root", "keyPath", "valueName"}, v
assert any(d["deleteValue"] for e in entries for d in e["regData"])
assert any(f["isLsp"] for e in entries for f in e["files"])
PY

# Damaged files: exit status 2 and the reader's own words.
printf '<BX TOTAL="1"><A><B></A></BX>' >"$dir/broken.xml"
if "$BXCLI" db pack "$dir/broken.xml" "$dir/broken.bx" 2>"$dir/err.txt"; then fail "packed a broken file"; fi
grep -q "End tag does not correspond to B" "$dir/err.txt" || fail "pack error: $(cat "$dir/err.txt")"
"$BXCLI" db unpack "$dir/broken.xml" "$dir/broken.bx"  # scrambling is its own inverse
set +e
"$BXCLI" db info "$dir/broken.bx" 2>"$dir/err.txt"
status=$?
set -e
[ "$status" -eq 2 ] || fail "db info of a damaged file exited $status"
grep -q "End tag does not correspond to B" "$dir/err.txt" || fail "info error: $(cat "$dir/err.txt")"
set +e
"$BXCLI" db dump "$dir/absent.bx" 2>"$dir/err.txt"
status=$?
set -e
[ "$status" -eq 2 ] || fail "db dump of a missing file exited $status"
grep -q "absent.bx" "$dir/err.txt" || fail "missing-file error: $(cat "$dir/err.txt")"
echo PASS
