#!/usr/bin/env bash
# Every JSON document the host writes names its keys one way (camelCase) and
# carries a schema key, so a pipeline reads check's and detect's alike.
#   json_keys_e2e.sh SOURCE-DIR OUT-DIR HOST-COMMAND...
set -uo pipefail
source_dir=$1
out=$2
shift 2
host=("$@")
rm -rf "$out" && mkdir -p "$out"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

mesh="$source_dir/tests/data/meshes/suzanne_L0.obj"

# keys_camel FILE.json SCHEMA: every key, at any depth, is camelCase, and the
# top level's schema is SCHEMA.
keys_camel() {
  python3 - "$@" <<'PY' || fail "$1: $(cat "$1.why" 2>/dev/null)"
import json, re, sys
path, schema = sys.argv[1], sys.argv[2]
data = json.load(open(path, encoding="utf-8"))
bad = []
def walk(node, where):
    if isinstance(node, dict):
        for key, value in node.items():
            if not re.fullmatch(r"[a-z][a-zA-Z0-9]*", key):
                bad.append(where + key)
            walk(value, where + key + ".")
    elif isinstance(node, list):
        for value in node:
            walk(value, where)
walk(data, "")
why = []
if bad:
    why.append("keys not in camelCase: " + ", ".join(sorted(set(bad))))
if data.get("schema") != schema:
    why.append("schema is %r, not %r" % (data.get("schema"), schema))
open(path + ".why", "w").write("; ".join(why))
sys.exit(1 if why else 0)
PY
}

"${host[@]}" check "$mesh" --plane x --json "$out/check.json" >"$out/check.txt" 2>&1 ||
  fail "check --json: exit $?: $(head -c 300 "$out/check.txt")"
keys_camel "$out/check.json" talvex-check/1

# A convincing plane, and a part without one (its best candidate rejected).
"${host[@]}" detect "$mesh" --top 2 --json "$out/detect.json" >"$out/detect.txt" 2>&1 ||
  fail "detect --json: exit $?: $(head -c 300 "$out/detect.txt")"
keys_camel "$out/detect.json" talvex-detect/1
printf 'o lopsided\nv 0 0 0\nv 1 0 0\nv 0 2 0\nv 0 0 3\nv 0.3 0.7 0.1\nv 2.5 0.2 0.9\n' >"$out/lopsided.obj"
"${host[@]}" detect "$out/lopsided.obj" --json "$out/rejected.json" >"$out/rejected.txt" 2>&1
keys_camel "$out/rejected.json" talvex-detect/1
python3 -c 'import json,sys; o=json.load(open(sys.argv[1]))["objects"][0]; sys.exit(0 if "bestRejected" in o else 1)' \
  "$out/rejected.json" || fail "detect: no bestRejected for a shape without symmetry"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed; outputs in $out"
  exit 1
fi
echo "JSON keys: all camelCase, schemas present"
