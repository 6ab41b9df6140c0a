#!/usr/bin/env bash
# Running out of memory at the edges: resym and check of a 1 M-vertex grid
# under address-space limits from well below to above what the run needs.
# Every run must either succeed or exit 1 with "out of memory" and leave the
# output as it was: never a crash inside the GL driver, never the plug-in's
# plain scan (which it falls back to when its index gets no memory, and
# which the time limit here would catch).
#   memory_e2e.sh OUT-DIR GRID_OBJ HOST-COMMAND...
# Not in the sanitized build: AddressSanitizer reserves terabytes of address
# space, which no ulimit -v leaves room for.
set -uo pipefail
out=$1 grid_obj=$2
shift 2
host=("$@")
if [ -n "${ASAN_OPTIONS:-}" ]; then
  echo "memory_e2e: skipped under AddressSanitizer"
  exit 0
fi
rm -rf "$out" && mkdir -p "$out"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

mesh=$out/grid.obj
"$grid_obj" 1000000 "$mesh" >/dev/null || { echo "memory_e2e: cannot make the grid"; exit 1; }
succeeded=0
refused=0
# try COMMAND LIMIT-MB ARGS...
try() {
  local command=$1 limit=$2
  shift 2
  printf 'keep me\n' >"$out/target.obj"
  (ulimit -v $((limit * 1024)) && timeout 300 "${host[@]}" "$command" "$mesh" "$@" \
    >"$out/run.out" 2>"$out/run.err")
  local status=$?
  if [ "$status" -eq 0 ]; then
    succeeded=$((succeeded + 1))
  elif [ "$status" -eq 1 ] && grep -q "out of memory" "$out/run.err"; then
    refused=$((refused + 1))
    [ "$(cat "$out/target.obj")" = "keep me" ] || fail "$command at $limit MB: the output was touched"
  else
    fail "$command at $limit MB: exit status $status: $(grep -v '^libEGL\|^MESA\|^Fontconfig' "$out/run.err" | head -c 300)"
  fi
}
for limit in 200 300 325 350 400 500 600 650 700 750 800 815 830 850 900 1000 1200; do
  try resym "$limit" -o "$out/target.obj" --plane x=0 --tolerance 0.05 --quiet
done
for limit in 400 700 800 1000 1400; do
  try check "$limit" --plane x=0 --tolerance 0.05 --quiet
done
echo "memory_e2e: $succeeded runs succeeded, $refused ended with \"out of memory\""
# Both endings must be reached, or the limits no longer straddle the need.
[ "$succeeded" -gt 0 ] || fail "no run succeeded: the limits are all too low"
[ "$refused" -gt 0 ] || fail "no run ran out of memory: the limits are all too high"
[ "$failures" -eq 0 ] && echo "memory_e2e: all passed"
exit $((failures > 0))
