#!/usr/bin/env bash
# End-to-end tests of talvex-host symmetrize on every format it writes, run by
# ctest in both builds: symmetrize_formats_e2e.sh SOURCE-DIR OUT-DIR HOST-COMMAND...
# A mesh cut by the plane, written as binary and ASCII STL and as PLY in all
# three encodings, is rebuilt in its own format: check finds every vertex
# paired or on the plane; STL keeps its header and gets each facet's normal
# from its corners; PLY keeps its header's other lines, interpolates a cut
# vertex's other values, mirrors normals and empties elements naming
# vertices. A format it cannot write yet is refused with the target untouched.
set -uo pipefail
src=$(cd "$1" && pwd) out=$2
shift 2
host=("$@")
rm -rf "$out" && mkdir -p "$out"
source "$(dirname "$0")/e2e_lib.sh"
suzanne=$src/tests/data/meshes/suzanne_L1.obj

# The mesh in each format. PLY vertices carry a normal pointing away from
# (0.1, 0, 0) and a colour that grows with x, so interpolation at the cut and
# mirroring can be seen; an edge element names vertices.
python3 - "$suzanne" "$out" <<'EOF' || fail "writing the formats"
import math, struct, sys
vs, faces = [], []
for line in open(sys.argv[1]):
    t = line.split()
    if t and t[0] == "v": vs.append(tuple(float(c) for c in t[1:4]))
    elif t and t[0] == "f": faces.append([int(c.split("/")[0]) - 1 for c in t[1:]])
tris = [(f[0], f[k], f[k + 1]) for f in faces for k in range(1, len(f) - 1)]
out = sys.argv[2]
def normal(p):
    d = (p[0] - 0.1, p[1], p[2]); n = math.sqrt(sum(c * c for c in d)) or 1.0
    return tuple(c / n for c in d)
def red(p): return int(round(80 * (p[0] + 1.5)))
def fnormal(a, b, c):
    u = [b[i] - a[i] for i in range(3)]; v = [c[i] - a[i] for i in range(3)]
    n = (u[1]*v[2]-u[2]*v[1], u[2]*v[0]-u[0]*v[2], u[0]*v[1]-u[1]*v[0])
    l = math.sqrt(sum(x * x for x in n)) or 1.0
    return tuple(x / l for x in n)
header = b"binary STL header kept by symmetrize".ljust(80, b" ")
with open(out + "/mesh_bin.stl", "wb") as f:
    f.write(header + struct.pack("<I", len(tris)))
    for t in tris:
        p = [vs[i] for i in t]
        f.write(struct.pack("<12fH", *fnormal(*p), *p[0], *p[1], *p[2], 7))
with open(out + "/mesh_ascii.stl", "w") as f:
    f.write("solid monkey\n")
    for t in tris:
        p = [vs[i] for i in t]
        f.write(" facet normal %e %e %e\n  outer loop\n" % fnormal(*p))
        for q in p: f.write("   vertex %.6f %.6f %.6f\n" % q)
        f.write("  endloop\n endfacet\n")
    f.write("endsolid monkey\n")
for enc, order in (("ascii", None), ("binary_little_endian", "<"), ("binary_big_endian", ">")):
    head = ("ply\nformat %s 1.0\ncomment kept as written\nelement vertex %d\nproperty float x\n"
            "property float y\nproperty float z\nproperty float nx\nproperty float ny\n"
            "property float nz\nproperty uchar red\nelement face %d\n"
            "property list uchar int vertex_indices\nproperty uchar flags\nelement edge 1\n"
            "property int vertex1\nproperty int vertex2\nend_header\n") % (enc, len(vs), len(faces))
    with open(out + "/mesh_%s.ply" % enc, "wb") as f:
        f.write(head.encode())
        for p in vs:
            if order: f.write(struct.pack(order + "6fB", *p, *normal(p), red(p)))
            else: f.write(("%.6f %.6f %.6f %.6f %.6f %.6f %d\n" % (*p, *normal(p), red(p))).encode())
        for k, face in enumerate(faces):
            if order: f.write(struct.pack(order + "B%diB" % len(face), len(face), *face, 5))
            else: f.write(("%d %s 5\n" % (len(face), " ".join(map(str, face)))).encode())
        if order: f.write(struct.pack(order + "2i", 0, 1))
        else: f.write(b"0 1\n")
EOF

# Rebuilt about x = 0.1 keeping -x, so faces are cut; then symmetric by check.
for name in mesh_bin.stl mesh_ascii.stl mesh_ascii.ply mesh_binary_little_endian.ply mesh_binary_big_endian.ply; do
  expect_status "sym_$name" 0 symmetrize "$out/$name" -o "$out/sym_$name" --plane x=0.1 --keep -x
  grep -q "^faces cut: [1-9]" "$out/sym_$name.out" || fail "sym_$name: no faces cut: $(cat "$out/sym_$name.out")"
  expect_status "check_$name" 0 check "$out/sym_$name" --plane x=0.1 --tolerance 0.01
  expect_line "check_$name" out "unpaired on the -x side: 0"
  expect_line "check_$name" out "unpaired on the +x side: 0"
  grep -q "^pairs found: [1-9]" "$out/check_$name.out" || fail "check_$name: no pairs"
done
for name in mesh_ascii.ply mesh_binary_little_endian.ply mesh_binary_big_endian.ply; do
  expect_text "sym_$name" out "note: 1 edge elements dropped: they name vertices by number"
done

# What each format keeps, read back.
python3 - "$out" <<'EOF' || fail "the rebuilt files"
import math, struct, sys
out = sys.argv[1]
bad = []
def close(a, b, eps): return all(abs(x - y) <= eps for x, y in zip(a, b))
def fnormal(a, b, c):
    u = [b[i] - a[i] for i in range(3)]; v = [c[i] - a[i] for i in range(3)]
    n = (u[1]*v[2]-u[2]*v[1], u[2]*v[0]-u[0]*v[2], u[0]*v[1]-u[1]*v[0])
    l = math.sqrt(sum(x * x for x in n)) or 1.0
    return tuple(x / l for x in n)
data = open(out + "/sym_mesh_bin.stl", "rb").read()
if data[:80] != b"binary STL header kept by symmetrize".ljust(80, b" "): bad.append("binary STL header changed")
count = struct.unpack("<I", data[80:84])[0]
if len(data) != 84 + 50 * count: bad.append("binary STL size")
for k in range(count):
    r = struct.unpack("<12fH", data[84 + 50 * k: 134 + 50 * k])
    if r[12] != 7: bad.append("facet %d lost its attribute word" % k); break
    if not close(r[0:3], fnormal(r[3:6], r[6:9], r[9:12]), 1e-5): bad.append("facet %d normal" % k); break
text = open(out + "/sym_mesh_ascii.stl").read().split()
if text[:2] != ["solid", "monkey"] or text[-2:] != ["endsolid", "monkey"]: bad.append("ASCII STL solid name")
i = 0
while i < len(text):
    if text[i] != "facet": i += 1; continue
    n = [float(x) for x in text[i + 2:i + 5]]
    # The corners as the floats the text reads as, from which the host computes.
    p = [struct.unpack("3f", struct.pack("3f", *(float(x) for x in text[i + 8 + 4 * c:i + 11 + 4 * c])))
         for c in range(3)]
    if not close(n, fnormal(*p), 2e-6): bad.append("ASCII facet normal at token %d" % i); break
    i += 21
def read_ply(path):
    data = open(path, "rb").read()
    end = data.index(b"end_header\n") + len(b"end_header\n")
    head = data[:end].decode().splitlines()
    counts = {l.split()[1]: int(l.split()[2]) for l in head if l.startswith("element")}
    body = data[end:]
    vs, faces = [], []
    if "ascii" in head[1]:
        rows = body.decode().splitlines()
        vs = [tuple(float(x) for x in r.split()[:6]) + (int(r.split()[6]),) for r in rows[:counts["vertex"]]]
        for r in rows[counts["vertex"]:counts["vertex"] + counts["face"]]:
            t = [int(x) for x in r.split()]; faces.append((t[1:1 + t[0]], t[1 + t[0]]))
        rest = rows[counts["vertex"] + counts["face"]:]
    else:
        o = "<" if "little" in head[1] else ">"
        at = 0
        for _ in range(counts["vertex"]):
            vs.append(struct.unpack_from(o + "6fB", body, at)); at += 25
        for _ in range(counts["face"]):
            n = body[at]; t = struct.unpack_from(o + "%diB" % n, body, at + 1)
            faces.append((list(t[:n]), t[n])); at += 1 + 4 * n + 1
        rest = body[at:]
    return head, counts, vs, faces, rest
results = {}
for enc in ("ascii", "binary_little_endian", "binary_big_endian"):
    head, counts, vs, faces, rest = read_ply(out + "/sym_mesh_%s.ply" % enc)
    results[enc] = (vs, faces)
    if "comment kept as written" not in head: bad.append(enc + ": comment lost")
    if counts.get("edge") != 0 or rest: bad.append(enc + ": the edge element is not emptied")
    if any(fl != 5 for _, fl in faces): bad.append(enc + ": a face lost its flags")
    if any(max(f) >= len(vs) for f, _ in faces): bad.append(enc + ": a face names a missing vertex")
    for v in vs:
        x = v[0] if v[0] <= 0.1 else 0.2 - v[0]  # the kept vertex a mirrored one copies
        if abs(v[6] - 80 * (x + 1.5)) > 1.01: bad.append(enc + ": colour %d at x %f" % (v[6], v[0])); break
        d = (v[0] - 0.1, v[1], v[2]); l = math.sqrt(sum(c * c for c in d))
        if l > 0.05 and sum(a * b for a, b in zip(v[3:6], d)) / l < 0.95:
            bad.append(enc + ": normal %s at %s" % (v[3:6], v[0:3])); break
if len(results["ascii"][0]) != len(results["binary_big_endian"][0]) or \
   results["binary_little_endian"] != results["binary_big_endian"]:
    bad.append("the two binary PLY encodings rebuild differently")
if bad: print("\n".join(bad)); sys.exit(1)
EOF

# A format symmetrize does not write yet: refused, the target untouched.
echo "keep me" >"$out/target.glb"
expect_status glb 1 symmetrize "$src/tests/data/meshes/formats/suzanne_L0.glb" -o "$out/target.glb" --plane x=0 --keep +x
expect_text glb err "symmetrize does not write glTF files yet"
grep -qx "keep me" "$out/target.glb" || fail "glb: the target changed"

[ "$failures" -eq 0 ] && echo "symmetrize formats: all passed"
exit $((failures > 0))
