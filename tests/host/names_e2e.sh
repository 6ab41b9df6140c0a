#!/usr/bin/env bash
# File and object names that are not UTF-8 (a Latin-1 "café") through
# check and detect: JSON output must still be written and keep every byte
# (readable name with U+FFFD, exact bytes in hexadecimal under NAMEBytes),
# and the text report prints the name as it is.
#   names_e2e.sh OUT-DIR HOST-COMMAND...
set -uo pipefail
out=$1
shift
host=("$@")
rm -rf "$out" && mkdir -p "$out"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

name=$(printf 'caf\xe9')
mesh="$out/$name.obj"
printf 'o %s\nv -1 0 0\nv 1 0 0\nv 0 1 0\nv -1 1 0\nv 1 1 0\nv 0 2 0\nv -1 2 0\nv 1 2 0\nf 1 2 3\nf 4 5 6\nf 7 8 6\n' \
  "$name" >"$mesh"
printf 'o good\nv -1 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n' >"$out/good.obj"

# json_has FILE.json KEY-PATH EXPECTED: a value of the parsed JSON equals EXPECTED
json_has() {
  python3 - "$@" 2>/dev/null <<'PY' || fail "$1: $2 is not $3"
import json, sys
data = json.load(open(sys.argv[1], encoding="utf-8"))
for key in sys.argv[2].split("."):
    data = data[int(key)] if key.isdigit() else data[key]
sys.exit(0 if str(data) == sys.argv[3] else 1)
PY
}
hex() { printf '%s' "$1" | od -An -tx1 | tr -d ' \n'; }

"${host[@]}" check "$mesh" --plane x=0 --json - >"$out/check.json" 2>"$out/check.err"
status=$?
[ "$status" -eq 0 ] || fail "check --json -: exit $status: $(head -c 300 "$out/check.err")"
json_has "$out/check.json" fileBytes "$(hex "$mesh")"
json_has "$out/check.json" file "$out/caf"$'\uFFFD'".obj"
"${host[@]}" check "$mesh" --plane x=0 --object "$name" --json "$out/object.json" >"$out/object.txt" 2>&1
status=$?
[ "$status" -eq 0 ] || fail "check --object: exit $status: $(head -c 300 "$out/object.txt")"
json_has "$out/object.json" objectBytes "$(hex "$name")"
"${host[@]}" objects "$mesh" >"$out/objects.txt" 2>&1
grep -qF "\"$name\": 8 vertices" "$out/objects.txt" || fail "objects does not print the name as it is"

"${host[@]}" detect "$mesh" --json - >"$out/detect.json" 2>"$out/detect.err"
status=$?
[ "$status" -eq 0 ] || fail "detect --json -: exit $status: $(head -c 300 "$out/detect.err")"
json_has "$out/detect.json" fileBytes "$(hex "$mesh")"
json_has "$out/detect.json" objects.0.nameBytes "$(hex "$name")"
json_has "$out/detect.json" objects.0.name "caf"$'\uFFFD'
"${host[@]}" detect "$mesh" >"$out/detect.txt" 2>&1
grep -qxF "object: $name (8 vertices)" "$out/detect.txt" || fail "detect's text does not print the object name as it is"

# UTF-8 names stay as they are, with no bytes key.
"${host[@]}" detect "$out/good.obj" --json - >"$out/good.json" 2>/dev/null
python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); sys.exit("fileBytes" in d or "nameBytes" in d["objects"][0])' \
  "$out/good.json" || fail "a UTF-8 name got a bytes key"

[ "$failures" -eq 0 ] && echo "names_e2e: all passed"
exit $((failures > 0))
