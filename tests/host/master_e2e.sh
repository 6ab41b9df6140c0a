#!/usr/bin/env bash
# End-to-end tests of resym --master and check --master, run by ctest in both
# builds: master_e2e.sh OUT-DIR HOST-COMMAND...
# The master half comes out byte for byte, every vertex moved is the exact
# float mirror of its partner, check predicts the moves, and a side that
# names the wrong axis is refused with the file untouched.
set -uo pipefail
out=$1
shift
host=("$@")
rm -rf "$out" && mkdir -p "$out"
source "$(dirname "$0")/e2e_lib.sh"

# A noisy 21 x 21 grid over x = -1..1 (noise +-0.01, six decimals), and one
# stray vertex at (-0.55, 0.45, 0.3) that has no partner.
python3 - "$out/grid.obj" <<'EOF'
import random, sys
n, r = 21, random.Random(7)
with open(sys.argv[1], "w") as f:
    f.write("# noisy grid\n")
    for j in range(n):
        for i in range(n):
            x, y = -1 + 2 * i / (n - 1), -1 + 2 * j / (n - 1)
            f.write("v %.6f %.6f %.6f\n" % (x + r.uniform(-0.01, 0.01), y + r.uniform(-0.01, 0.01), r.uniform(-0.01, 0.01)))
    f.write("v -0.550000 0.450000 0.300000\n")
    for j in range(n - 1):
        for i in range(n - 1):
            a = j * n + i + 1
            f.write("f %d %d %d %d\n" % (a, a + 1, a + n + 1, a + n))
EOF

# verify IN OUT SIGN: the grid's columns on the master side keep their lines,
# the centre column is on x = 0, and each vertex of the other side is the
# exact float negation in x (same y, z) of its mirror column's vertex.
verify() {
  python3 - "$@" <<'EOF' || fail "verify $*"
import struct, sys
f32 = lambda t: struct.unpack("<f", struct.pack("<f", float(t)))[0]
def vlines(path):
    return [l.rstrip("\n") for l in open(path) if l.startswith("v ")]
src, dst, sign = vlines(sys.argv[1]), vlines(sys.argv[2]), int(sys.argv[3])
n, bad = 21, []
for j in range(n):
    for i in range(n):
        k = j * n + i
        side = (i > n // 2) - (i < n // 2)
        if side == sign:
            if src[k] != dst[k]: bad.append("master %d changed: %s -> %s" % (k + 1, src[k], dst[k]))
        elif side == 0:
            if f32(dst[k].split()[1]) != 0.0: bad.append("centre %d not on the plane: %s" % (k + 1, dst[k]))
        else:
            m = [f32(t) for t in dst[j * n + (n - 1 - i)].split()[1:4]]
            p = [f32(t) for t in dst[k].split()[1:4]]
            if p != [-m[0], m[1], m[2]]: bad.append("%d is not the mirror of %d: %s / %s" % (k + 1, j * n + n - i, dst[k], dst[j * n + n - 1 - i]))
if src[-1] != dst[-1]: bad.append("the stray vertex moved")
for b in bad[:5]: print(b)
sys.exit(1 if bad else 0)
EOF
}

for master in +x -x; do
  sign=${master:0:1}1
  for precision in file shortest; do
    name=master_${master:0:1}_$precision
    expect_status "$name" 0 resym "$out/grid.obj" -o "$out/$name.obj" --plane x=0 --tolerance 0.05 \
      --master "$master" --precision "$precision"
    verify "$out/grid.obj" "$out/$name.obj" "$sign"
    expect_line "$name" out "put on the plane: 21 unpaired vertices near it (the centre line)"
  done
done
expect_line master_+_file out "moved: 210 on the -x side, 0 on the +x side"
expect_line master_+_file out "left where they are: 1 unpaired vertices on the -x side (442)"
expect_line master_-_file out "moved: 210 on the +x side, 0 on the -x side"
expect_line master_-_file out "left where they are: 0 unpaired vertices on the +x side"

# check --master predicts resym --master, and leaves the file as it was.
cp "$out/grid.obj" "$out/grid_copy.obj"
expect_status check_master 0 check "$out/grid.obj" --plane x=0 --tolerance 0.05 --master +x
expect_line check_master out "resym --master +x:"
expect_line check_master out "would move: 210 on the -x side, 0 on the +x side"
expect_line check_master out "left where they are: 1 unpaired vertices on the -x side (442)"
cmp -s "$out/grid.obj" "$out/grid_copy.obj" || fail "check_master: the input changed"
expect_status check_master_json 0 check "$out/grid.obj" --plane x=0 --tolerance 0.05 --master +x --json -
python3 -c 'import json, sys; m = json.load(open(sys.argv[1]))["master"]; sys.exit(m != {"side": "+x", "keptVertices": 221, "wouldMove": 210, "wouldMoveOnMasterSide": 0, "leftUnpaired": 1})' \
  "$out/check_master_json.out" || fail "check_master_json: $(grep -A7 '"master"' "$out/check_master_json.out")"

# "+" is the side the plane's normal points to: -1,0,0,0 is x = 0 facing -x.
expect_status by_normal 0 resym "$out/grid.obj" -o "$out/by_normal.obj" --plane=-1,0,0,0 \
  --tolerance 0.05 --master + --precision shortest
expect_text by_normal out "master side: -x ("
verify "$out/grid.obj" "$out/by_normal.obj" -1

# Refused: a side across another axis (exit 1), a side that is no side
# (exit 2); nothing written either way.
expect_status wrong_axis 1 resym "$out/grid.obj" -o "$out/wrong.obj" --plane x=0 --tolerance 0.05 --master +y
expect_text wrong_axis err "--master +y names the y axis, but the plane x = 0 divides the mesh along x"
expect_status wrong_axis_check 1 check "$out/grid.obj" --plane x=0 --tolerance 0.05 --master -z
expect_status no_side 2 resym "$out/grid.obj" -o "$out/wrong.obj" --plane x=0 --master x
expect_text no_side err "--master takes +x, -x, +y, -y, +z, -z, + or -, not \"x\""
[ -e "$out/wrong.obj" ] && fail "refusals: a refused resym wrote its output"

# The demo shows it on the cat head, whose -x half is the clean one.
expect_status demo 0 demo --out "$out/demo"
expect_line demo out "moved: 61 on the +x side, 0 on the -x side"
expect_line demo out "  the +x half is the exact mirror of the -x half in 63 of 63 pairs"
[ -s "$out/demo/demo_master.obj" ] || fail "demo: no demo_master.obj"

echo "master_e2e: $failures failure(s)"
[ "$failures" -eq 0 ]
