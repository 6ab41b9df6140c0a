#!/usr/bin/env bash
# End-to-end checks of how talvex-host reads and writes mesh files: hostile
# indices, which object a vertex belongs to, an input that changes while it
# is worked on (nothing is written from it), and a file's digits kept so that
# a second resym changes nothing. Run by ctest in the native build:
# mesh_file_e2e.sh OUT-DIR HOST-COMMAND...
set -uo pipefail
out=$1
shift
host=("$@")
rm -rf "$out" && mkdir -p "$out"
source "$(dirname "$0")/e2e_lib.sh"
# wait_for FILE: until FILE exists (a minute at most)
wait_for() {
  local tries=0
  while [ ! -e "$1" ] && [ $tries -lt 600 ]; do sleep 0.1; tries=$((tries + 1)); done
  [ -e "$1" ] || fail "$1 never appeared"
}
# In place with the flag when the host asks for one, and past any refusal
# of a mesh too little symmetric when the host has one: what is tested here
# is the writing.
in_place=() force=()
"${host[@]}" resym --help >"$out/resym_help.txt" 2>&1
grep -q -- '--in-place' "$out/resym_help.txt" && in_place=(--in-place)
grep -q -- '--force' "$out/resym_help.txt" && force=(--force)

# --- indices -------------------------------------------------------------------
printf 'v -1 0 0\nv 1 0 0\nv -1 1 0\nv 1 1 0\nv -1 2 0\nv 1 2 0\nf 1 2 3\nf -1 -2 -9223372036854775808\n' >"$out/hostile.obj"
printf 'v -1 0 0\nv 1 0 0\nv -1 1 0\nf -1 -2 -9223372036854775808\n' >"$out/hostile3.obj"
expect_status hostile_objects 1 objects "$out/hostile.obj"
expect_status hostile_check 1 check "$out/hostile.obj" --plane x=0
expect_status hostile_resym 1 resym "$out/hostile.obj" -o "$out/unused.obj" --plane x=0
for command in objects check resym; do
  expect_text "hostile_$command" err "hostile.obj:8: vertex reference \"-9223372036854775808\" points before the first vertex"
done
expect_status hostile3 1 objects "$out/hostile3.obj"
expect_text hostile3 err "hostile3.obj:4: vertex reference \"-9223372036854775808\" points before the first vertex"

# --- object ownership ----------------------------------------------------------
# Vertex 3 is used first by A's forward reference, then by B.
printf 'v 0 0 0\nv 1 0 0\no A\nf 1 2 3\no B\nv 0 1 0\nf 3 1 2\n' >"$out/forward.obj"
expect_status forward 0 objects "$out/forward.obj"
expect_text forward out '"A": 3 vertices'

# --- an input that changes underneath -------------------------------------------
# A grid of about 300 k vertices (several of the reader's pieces), a little
# off symmetric about x = 0, with six decimals.
python3 - "$out/grid.obj" <<'EOF'
import random, sys
random.seed(7)
n = 550
with open(sys.argv[1], "w") as f:
    f.write("o Grid\n")
    for j in range(n):
        for i in range(n):
            x = (i - (n - 1) / 2) * 0.01 + random.uniform(-0.001, 0.001)
            f.write("v %.6f %.6f %.6f\n" % (x, j * 0.01, random.uniform(0, 0.002)))
    for j in range(n - 1):
        for i in range(n - 1):
            a = j * n + i + 1
            f.write("f %d %d %d %d\n" % (a, a + 1, a + n + 1, a + n))
EOF
# overwrite FILE: same length, other content, written into the file in place.
overwrite() {
  python3 - "$1" <<'EOF'
import sys
with open(sys.argv[1], "r+b") as f:
    data = f.read()
    at = data.index(b"\nv ", len(data) // 2) + 3
    f.seek(at)
    f.write(b"9" if data[at:at + 1] != b"9" else b"8")
EOF
}

# resym -o while the input is written to: refused, nothing written.
cp "$out/grid.obj" "$out/changing.obj"
TALVEX_TEST_HOLD_BEFORE_WRITE="$out/hold" "${host[@]}" resym "$out/changing.obj" -o "$out/never.obj" \
  --plane x=0 --tolerance 0.02 "${force[@]}" --quiet >"$out/changing.out" 2>"$out/changing.err" &
pid=$!
wait_for "$out/hold"
overwrite "$out/changing.obj"
rm -f "$out/hold"
wait $pid
status=$?
[ $status -eq 1 ] || fail "changing: exit status $status, expected 1"
expect_text changing err "changing.obj: the input changed while it was read"
[ ! -e "$out/never.obj" ] || fail "changing: an output was written"
[ ! -e "$out/never.obj.lock" ] || fail "changing: the lock file was left"

# Two in-place runs: the second to start renames first; the first then finds
# its input replaced and refuses, so the second's edit is not lost.
cp "$out/grid.obj" "$out/shared.obj"
TALVEX_TEST_HOLD_BEFORE_WRITE="$out/hold" "${host[@]}" resym "$out/shared.obj" "${in_place[@]}" \
  --plane x=0 --tolerance 0.02 "${force[@]}" --quiet >"$out/first.out" 2>"$out/first.err" &
pid=$!
wait_for "$out/hold"
expect_status second 0 resym "$out/shared.obj" "${in_place[@]}" --plane x=0.5 --tolerance 0.02 "${force[@]}" --quiet
cp "$out/shared.obj" "$out/second_result.obj"
rm -f "$out/hold"
wait $pid
status=$?
[ $status -eq 1 ] || fail "first: exit status $status, expected 1"
expect_text first err "shared.obj: the input changed while it was read"
cmp -s "$out/shared.obj" "$out/second_result.obj" || fail "first: the second run's edit was overwritten"
cmp -s "$out/shared.obj" "$out/grid.obj" && fail "second: its edit did not reach the file"
[ ! -e "$out/shared.obj.lock" ] || fail "first: the lock file was left"

# --- the file's digits ------------------------------------------------------------
# Pairs an exporter rounded to six decimals: mirrored across x = 0, and across
# the oblique plane x + 0.3 y + 0.1 z = 0.2, each partner up to two units of
# the last decimal away from the exact mirror (up to one in "exported").
python3 - "$out" <<'EOF'
import random, sys
random.seed(11)
planes = {"axis": (1.0, 0.0, 0.0, 0.0, 2), "oblique": (1.0, 0.3, 0.1, 0.2, 2),
          "exported": (1.0, 0.0, 0.0, 0.0, 1)}
for name, (a, b, c, d, units) in planes.items():
    norm = a * a + b * b + c * c
    with open("%s/digits_%s.obj" % (sys.argv[1], name), "w") as f:
        f.write("# exported with six decimals\no Body\n")
        for k in range(400):
            p = [random.uniform(-1, 1), random.uniform(-1, 1), random.uniform(-1, 1)]
            s = (a * p[0] + b * p[1] + c * p[2] - d) / norm
            if s < 0.05:
                continue
            q = [p[0] - 2 * s * a, p[1] - 2 * s * b, p[2] - 2 * s * c]
            q = [v + random.randint(-units, units) * 1e-6 for v in q]
            f.write("v %.6f %.6f %.6f\n" % tuple(p))
            f.write("v %.6f %.6f %.6f # partner\n" % tuple(q))
EOF
# other_digits FILE: how many `v` lines have numbers without six decimals.
other_digits() {
  grep '^v ' "$1" | grep -cvE '^v -?[0-9]+\.[0-9]{6} -?[0-9]+\.[0-9]{6} -?[0-9]+\.[0-9]{6}( # partner)?$'
}
# Written with the file's six decimals, run again on its own output: no change.
for shape in axis:x=0 oblique:1,0.3,0.1,0.2; do
  name=${shape%%:*} plane=${shape#*:}
  expect_status "digits_${name}_1" 0 resym "$out/digits_$name.obj" -o "$out/digits_$name.1.obj" --plane "$plane" --tolerance 0.01 "${force[@]}"
  expect_status "digits_${name}_2" 0 resym "$out/digits_$name.1.obj" -o "$out/digits_$name.2.obj" --plane "$plane" --tolerance 0.01 "${force[@]}"
  cmp -s "$out/digits_$name.1.obj" "$out/digits_$name.2.obj" ||
    fail "digits_$name: a second run changed $(diff "$out/digits_$name.1.obj" "$out/digits_$name.2.obj" | grep -c '^>') lines"
  [ "$(other_digits "$out/digits_$name.1.obj")" -eq 0 ] || fail "digits_$name: a line lost the file's six decimals"
  # The shortest text, as before: the digits are not kept.
  expect_status "digits_${name}_shortest" 0 resym "$out/digits_$name.obj" -o "$out/digits_$name.s.obj" --plane "$plane" --tolerance 0.01 "${force[@]}" --precision shortest
  [ "$(other_digits "$out/digits_$name.s.obj")" -gt 0 ] || fail "digits_$name: --precision shortest kept six decimals everywhere"
done
# About x = 0 a disagreement of one unit of the last decimal moves each
# partner half a unit, below the file's precision: the mesh comes back byte
# for byte, where the shortest text rewrote many lines.
expect_status exported 0 resym "$out/digits_exported.obj" -o "$out/exported.1.obj" --plane x=0 --tolerance 0.01 "${force[@]}"
cmp -s "$out/digits_exported.obj" "$out/exported.1.obj" || fail "exported: rounding differences were written"
expect_status exported_shortest 0 resym "$out/digits_exported.obj" -o "$out/exported.s.obj" --plane x=0 --tolerance 0.01 "${force[@]}" --precision shortest
cmp -s "$out/digits_exported.obj" "$out/exported.s.obj" && fail "exported_shortest: nothing rewritten, the case shows nothing"
expect_status precision_bad 2 resym "$out/digits_axis.obj" -o "$out/x.obj" --precision fixed
expect_text precision_bad err "--precision takes file or shortest"

echo "$failures failure(s)"
[ $failures -eq 0 ]
