#!/usr/bin/env bash
# End-to-end tests of --pairing topology for check and resym, run by ctest in
# both builds: topology_e2e.sh SOURCE-DIR OUT-DIR HOST-COMMAND...
# A strip whose +x side is bent 35 degrees like a raised limb (faces and
# vertex order kept): positions pair fewer than 80% of it; the faces pair
# every true pair and no wrong one, and resym --pairing topology --master -x
# restores the bent side as the exact mirror of the good one.
set -uo pipefail
src=$(cd "$1" && pwd) out=$2
shift 2
host=("$@")
rm -rf "$out" && mkdir -p "$out"
source "$(dirname "$0")/e2e_lib.sh"

python3 - 35 "$out/posed" <<'EOF'
import math, random, sys
degrees, out = float(sys.argv[1]), sys.argv[2]
cols, rows = 41, 11
n = cols * rows
number = list(range(n)); random.Random(5).shuffle(number)
pos, truth = [None] * n, [0] * n
a = math.radians(degrees)
for j in range(rows):
    for i in range(cols):
        x, y = -2 + 0.1 * i, 0.1 * j
        z = 0.05 * math.cos(3 * x) * math.sin(2 * y)
        if x > 1.2:  # the limb, turned about the z axis at its shoulder
            dx = x - 1.2
            x, y = 1.2 + dx * math.cos(a) - y * math.sin(a), dx * math.sin(a) + y * math.cos(a)
        pos[number[j * cols + i]] = (x, y, z)
        truth[number[j * cols + i]] = number[j * cols + cols - 1 - i] + 1
with open(out + ".obj", "w") as f:
    f.write("# posed strip\no strip\n")
    for p in pos: f.write("v %.6f %.6f %.6f\n" % p)
    for j in range(rows - 1):
        for i in range(cols - 1):
            c = j * cols + i
            f.write("f %d %d %d %d\n" % tuple(number[k] + 1 for k in (c, c + 1, c + cols + 1, c + cols)))
with open(out + ".truth", "w") as f:
    f.write("\n".join(str(t) for t in truth) + "\n")
EOF

# Positions pair too few; the faces pair all 220 true pairs, none wrong.
expect_status check_topology 0 check "$out/posed.obj" --plane x=0 --tolerance 0.05 --pairing topology --all-pairs
expect_text check_topology out "partners found: 294 of 440 vertices off the plane"
expect_line check_topology out "topology: 220 pairs; 451 of 451 vertices reached from 44 certain pairs and 11 vertices on the plane"
python3 - "$out/check_topology.out" "$out/posed.truth" <<'EOF' || fail "check_topology: the listed pairs are not the true ones"
import sys
truth = [int(t) for t in open(sys.argv[2])]
pairs = [l.split()[1:] for l in open(sys.argv[1]) if l.startswith("pair ")]
wrong = [p for p in pairs if truth[int(p[0]) - 1] != int(p[1])]
print("pairs listed %d, wrong %d" % (len(pairs), len(wrong)))
sys.exit(0 if len(pairs) == 220 and not wrong else 1)
EOF
# The same pairs in the JSON and, with --all-pairs, as the CSV.
expect_status check_json 0 check "$out/posed.obj" --plane x=0 --tolerance 0.05 --pairing topology --all-pairs \
  --quiet --json "$out/pairs.json" --csv "$out/pairs.csv"
python3 - "$out/check_topology.out" "$out/pairs.json" "$out/pairs.csv" <<'EOF' || fail "check_json: the JSON or CSV pairs differ from the text's"
import json, sys
text = [[int(t) for t in l.split()[1:]] for l in open(sys.argv[1]) if l.startswith("pair ")]
document = json.load(open(sys.argv[2]))["allPairs"]
csv = [[int(t) for t in l.split(",")] for l in open(sys.argv[3]).read().splitlines()[1:]]
sys.exit(0 if document["pairing"] == "topology" and document["pairs"] == text == csv else 1)
EOF
# --all-pairs alone lists Smart Resym's pairs.
expect_status check_positional 0 check "$out/posed.obj" --plane x=0 --tolerance 0.05 --all-pairs
[ "$(grep -c '^pair ' "$out/check_positional.out")" -eq 147 ] || fail "check_positional: not the 147 pairs found"

# The bent side restored from the good one: its vertices are the exact
# mirror images of their true partners, the master side byte for byte.
expect_status restore 0 resym "$out/posed.obj" -o "$out/restored.obj" --plane x=0 --tolerance 0.05 \
  --pairing topology --master -x --precision shortest
expect_line restore out "vertices moved: 0 on the -x side, 98 on the +x side"
python3 - "$out/posed.obj" "$out/restored.obj" "$out/posed.truth" <<'EOF' || fail "restore: not the mirror of the master side"
import struct, sys
f32 = lambda t: struct.unpack("<f", struct.pack("<f", float(t)))[0]
vl = lambda p: [l.split() for l in open(p) if l.startswith("v ")]
src, dst = vl(sys.argv[1]), vl(sys.argv[2])
truth = [int(t) - 1 for t in open(sys.argv[3])]
bad = 0
for v, (s, d) in enumerate(zip(src, dst)):
    if f32(s[1]) < 0:
        bad += s != d
    elif f32(s[1]) > 0:
        m = [f32(t) for t in dst[truth[v]][1:4]]
        bad += [f32(t) for t in d[1:4]] != [-m[0], m[1], m[2]]
print("vertices off:", bad)
sys.exit(1 if bad else 0)
EOF
expect_status restored_check 0 check "$out/restored.obj" --plane x=0 --tolerance 0.05
expect_line restored_check out "unpaired on the +x side: 0"
expect_text restored_check out "largest deviation: 0.000000 "

# Suzanne with her +x side beyond x = 0.6 turned up by 35 degrees about the
# y axis there: positions pair two thirds of her, the faces all 971 pairs
# check finds on the unposed mesh, and no other.
suzanne=$src/tests/data/meshes/suzanne_L1.obj
python3 - "$suzanne" "$out/bent.obj" <<'EOF'
import math, sys
a = math.radians(35)
with open(sys.argv[2], "w") as out:
    for line in open(sys.argv[1]):
        p = line.split()
        if p and p[0] == "v":
            x, y, z = (float(t) for t in p[1:4])
            if x > 0.6:
                x, z = 0.6 + (x - 0.6) * math.cos(a), z + (x - 0.6) * math.sin(a)
            out.write("v %.6f %.6f %.6f\n" % (x, y, z))
        else:
            out.write(line)
EOF
expect_status unposed 0 check "$suzanne" --plane x=0 --tolerance 0.01 --all-pairs --quiet
expect_status bent 0 check "$out/bent.obj" --plane x=0 --tolerance 0.01 --pairing topology --all-pairs --quiet
expect_text bent out "partners found: 1262 of 1942 vertices off the plane"
python3 - "$out/unposed.out" "$out/bent.out" <<'EOF' || fail "bent: the pairs through the faces are not Suzanne's own"
import sys
pairs = lambda p: sorted(tuple(sorted(int(t) for t in l.split()[1:])) for l in open(p) if l.startswith("pair "))
truth, found = pairs(sys.argv[1]), pairs(sys.argv[2])
print("true pairs %d, found %d, right %d" % (len(truth), len(found), len(set(truth) & set(found))))
sys.exit(0 if len(truth) == 971 and found == truth else 1)
EOF

expect_status bad_mode 2 check "$out/posed.obj" --pairing shape
expect_text bad_mode err "--pairing takes position, topology or auto, not \"shape\""

echo "topology_e2e: $failures failure(s)"
[ "$failures" -eq 0 ]
