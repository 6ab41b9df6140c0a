#!/usr/bin/env bash
# End-to-end tests of talvex-host symmetrize, run by ctest in both builds:
# symmetrize_e2e.sh SOURCE-DIR OUT-DIR HOST-COMMAND...
# The rebuilt mesh is symmetric by check's own measure (about axis planes and
# a plane at another orientation), its topology is sound (no edge in three
# faces; the open edges are the kept half's border and its mirror image), a
# second run changes nothing, the file's structure is kept, and bad input is
# refused with the target untouched.
set -uo pipefail
src=$(cd "$1" && pwd) out=$2
shift 2
host=("$@")
rm -rf "$out" && mkdir -p "$out"
source "$(dirname "$0")/e2e_lib.sh"
suzanne=$src/tests/data/meshes/suzanne_L1.obj

# topology IN OUT AXIS AT KEEP: no edge of OUT is in three faces, and its open
# edges are exactly IN's open edges on the kept side (x >= AT for KEEP +1) and
# their mirror images, compared by position (six decimals).
topology() {
  python3 - "$@" <<'EOF' || fail "topology $*"
import sys
from collections import Counter
def read(path):
    vs, faces = [], []
    for line in open(path):
        t = line.split()
        if not t: continue
        if t[0] == "v": vs.append(tuple(float(c) for c in t[1:4]))
        elif t[0] == "f": faces.append([int(c.split("/")[0]) - 1 for c in t[1:]])
    return vs, faces
def edges(vs, faces):
    count = Counter()
    for f in faces:
        for a, b in zip(f, f[1:] + f[:1]):
            count[(min(a, b), max(a, b))] += 1
    return count
key = lambda p: tuple(round(c, 5) + 0.0 for c in p)
src, dst, axis, at, keep = read(sys.argv[1]), read(sys.argv[2]), int(sys.argv[3]), float(sys.argv[4]), int(sys.argv[5])
out_edges = edges(*dst)
bad = [e for e, n in out_edges.items() if n > 2]
if bad: print("edges in three or more faces:", len(bad)); sys.exit(1)
def mirror(p):
    q = list(p); q[axis] = 2 * at - q[axis]; return tuple(q)
side = lambda p: keep * (p[axis] - at)
want = set()
for (a, b), n in edges(*src).items():
    pa, pb = src[0][a], src[0][b]
    if n == 1 and side(pa) >= -1e-9 and side(pb) >= -1e-9:
        for e in ((pa, pb), (mirror(pa), mirror(pb))):
            want.add(frozenset((key(e[0]), key(e[1]))))
got = set(frozenset((key(dst[0][a]), key(dst[0][b]))) for (a, b), n in out_edges.items() if n == 1)
# Keys rounded on either side of a fifth decimal's boundary still match
# within the mirror's float rounding.
near = lambda e, f: any(all(all(abs(x - y) < 2e-5 for x, y in zip(p, q)) for p, q in zip(order, sorted(f)))
                        for order in (sorted(e), sorted(e)[::-1]))
unexpected, missing = list(got - want), list(want - got)
for e in list(unexpected):
    match = next((f for f in missing if near(e, f)), None)
    if match is not None:
        unexpected.remove(e); missing.remove(match)
if len(got) != len(want) or unexpected or missing:
    print("open edges: %d, expected %d; %d unexpected, %d missing" % (len(got), len(want), len(unexpected), len(missing)))
    sys.exit(1)
EOF
}
# symmetric NAME PLANE: check finds every vertex of NAME.obj paired or on the plane.
symmetric() {
  expect_status "check_$1" 0 check "$out/$1.obj" --plane="$2" --tolerance 0.01
  expect_line "check_$1" out "unpaired on the -x side: 0"
  expect_line "check_$1" out "unpaired on the +x side: 0"
  expect_text "check_$1" out "(100.0%): resym would write it"
}

# --- Suzanne about x = 0, either half: exact mirror, sound topology --------------
for keep in +x -x; do
  name=suzanne_${keep:0:1}
  expect_status "$name" 0 symmetrize "$suzanne" -o "$out/$name.obj" --plane x=0 --keep "$keep"
  expect_line "$name" out "after: 2012 vertices, 1968 faces"
  symmetric "$name" x=0
  expect_line "check_$name" out "largest deviation: 0.000000 (vertices 1 and 1042)"
  topology "$suzanne" "$out/$name.obj" 0 0 "${keep:0:1}1"
done
# Run again on its output: nothing changes.
expect_status again 0 symmetrize "$out/suzanne_+.obj" -o "$out/again.obj" --plane x=0 --keep +x
cmp -s "$out/suzanne_+.obj" "$out/again.obj" || fail "again: a second run changed the mesh"

# --- Off the middle, faces are cut: new vertices exactly on the plane ----------
expect_status cut 0 symmetrize "$suzanne" -o "$out/cut.obj" --plane x=0.1 --keep -x
expect_text cut out "faces cut: "
grep -q "^faces cut: 0 " "$out/cut.out" && fail "cut: no face was cut at x = 0.1"
symmetric cut x=0.1
topology "$suzanne" "$out/cut.obj" 0 0.1 -1

# --- Any orientation: Suzanne turned and moved, the plane as A,B,C,D ------------
python3 - "$suzanne" "$out/turned.obj" >"$out/turned.plane" <<'EOF'
import math, sys
a = math.radians(40); l = math.sqrt(14); x, y, z = 1 / l, 2 / l, 3 / l; c, s = math.cos(a), math.sin(a); t = 1 - c
R = [[t*x*x + c, t*x*y - s*z, t*x*z + s*y], [t*x*y + s*z, t*y*y + c, t*y*z - s*x], [t*x*z - s*y, t*y*z + s*x, t*z*z + c]]
T = [0.3, -0.2, 0.5]
with open(sys.argv[2], "w") as out:
    for line in open(sys.argv[1]):
        p = line.split()
        if p and p[0] == "v":
            v = [float(q) for q in p[1:4]]
            out.write("v %.9g %.9g %.9g\n" % tuple(sum(R[i][j] * v[j] for j in range(3)) + T[i] for i in range(3)))
        else:
            out.write(line)
n = [R[0][0], R[1][0], R[2][0]]
print("%.12g,%.12g,%.12g,%.12g" % (n[0], n[1], n[2], sum(n[i] * T[i] for i in range(3))))
EOF
plane=$(cat "$out/turned.plane")
expect_status turned 0 symmetrize "$out/turned.obj" -o "$out/turned_sym.obj" --plane="$plane" --keep +
expect_line turned out "kept: the +x side"
symmetric turned_sym "$plane"
# Within 1e-5 of the model's size (Suzanne is about 2.7 across).
largest=$(awk '/^largest deviation: / { print $3 }' "$out/check_turned_sym.out")
awk -v d="$largest" 'BEGIN { exit !(d < 2.7e-5) }' || fail "turned: largest deviation $largest"

# --- The file's structure: header, objects, materials, smoothing, attributes ----
cat >"$out/parts.obj" <<'EOF'
# two parts
mtllib parts.mtl
o left_and_right
v -1 0 0
v 1 0 0
v 1 1 0
v -1 1 0
vt 0 0
vt 1 0
vt 1 1
vt 0 1
vn 0 0 1
usemtl skin
s 1
f 1/1/1 2/2/1 3/3/1 4/4/1
o lid
v 0.5 0 1
v 2 0 1
v 2 1 1
usemtl metal
s off
f 5 6 7
EOF
expect_status parts 0 symmetrize "$out/parts.obj" -o "$out/parts_sym.obj" --plane x=0 --keep +x --mirror-uv 0.5
cat >"$out/parts_expected.obj" <<'EOF'
# two parts
mtllib parts.mtl
v 1 0 0
v 1 1 0
v 0.5 0 1
v 2 0 1
v 2 1 1
v 0.0 0.0 0.0
v 0.0 1.0 0.0
v -1 0 0
v -1 1 0
v -0.5 0 1
v -2 0 1
v -2 1 1
vt 1 0
vt 1 1
vt 0.5 0.0
vt 0.5 1.0
vt 0.0 0.0
vt 0.0 1.0
vn 0 0 1
o left_and_right
usemtl skin
s 1
f 6/3/1 1/1/1 2/2/1 7/4/1
f 6/3/1 7/4/1 9/6/1 8/5/1
o lid
usemtl metal
s off
f 3 4 5
f 10 12 11
EOF
cmp -s "$out/parts_sym.obj" "$out/parts_expected.obj" || fail "parts: not the expected file: $(diff "$out/parts_expected.obj" "$out/parts_sym.obj" | head -20)"
expect_line parts out "before: 7 vertices, 2 faces"
expect_line parts out "after: 12 vertices, 4 faces"
expect_line parts out "faces cut: 1 (2 vertices made on the plane)"

# The same file with CR LF line ends and indices counting back: the same
# mesh, its lines ending as the file's do.
sed -e 's|^f 1/1/1 2/2/1 3/3/1 4/4/1$|f -4/-4/-1 -3/-3/-1 -2/-2/-1 -1/-1/-1|' -e 's|^f 5 6 7$|f -3 -2 -1|' \
  -e 's|$|\r|' "$out/parts.obj" >"$out/parts_crlf.obj"
grep -q -- "-4/-4/-1" "$out/parts_crlf.obj" || fail "parts_crlf: no index counting back"
expect_status parts_crlf 0 symmetrize "$out/parts_crlf.obj" -o "$out/parts_crlf_sym.obj" --plane x=0 --keep +x --mirror-uv 0.5
sed -e 's|$|\r|' "$out/parts_expected.obj" >"$out/parts_crlf_expected.obj"
cmp -s "$out/parts_crlf_sym.obj" "$out/parts_crlf_expected.obj" || fail "parts_crlf: not the expected file with CR LF"

# --- Refusals: exit 1 and the target untouched ----------------------------------
echo "keep me" >"$out/target.obj"
untouched() { grep -qx "keep me" "$out/target.obj" || fail "$1: the target changed"; }
expect_status misses 1 symmetrize "$suzanne" -o "$out/target.obj" --plane x=5 --keep +x
expect_text misses err "the plane misses the mesh"
untouched misses
expect_status wrong_axis 1 symmetrize "$suzanne" -o "$out/target.obj" --plane x=0 --keep +y
expect_text wrong_axis err "--keep +y names the y axis, but the plane x = 0 divides the mesh along x"
untouched wrong_axis
printf 'v 0 0 0\nv 0 1 0\nv 1 0 0\nv 1 0 1\nv -1 0 0\nf 1 2 3\nf 2 1 4\nf 1 5 2\n' >"$out/fin.obj"
expect_status fin 1 symmetrize "$out/fin.obj" -o "$out/target.obj" --plane x=0 --keep +x
expect_text fin err "the seam cannot be welded"
untouched fin
printf 'v 0 0 0\nv 1 0 0\nf 1 2 9\n' >"$out/missing.obj"
expect_status missing 1 symmetrize "$out/missing.obj" -o "$out/target.obj" --plane x=0 --keep +x
untouched missing
expect_status no_keep 2 symmetrize "$suzanne" -o "$out/target.obj" --plane x=0
expect_text no_keep err "--keep"
untouched no_keep

echo "symmetrize_e2e: $failures failure(s)"
[ "$failures" -eq 0 ]
