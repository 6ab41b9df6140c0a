#!/usr/bin/env bash
# End-to-end tests of talvex-host symmetrize on every format it writes, run by
# ctest in both builds: symmetrize_formats_e2e.sh SOURCE-DIR OUT-DIR HOST-COMMAND...
# A mesh cut by the plane, written as binary and ASCII STL and as PLY in all
# three encodings, is rebuilt in its own format: check finds every vertex
# paired or on the plane; STL keeps its header and gets each facet's normal
# from its corners; PLY keeps its header's other lines, interpolates a cut
# vertex's other values, mirrors normals and empties elements naming
# vertices. glTF (.gltf and .glb, transformed nodes) is rebuilt with its
# normals and texture coordinates, keeping its materials, images and extras.
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

# glTF: a .gltf with an external buffer whose node sits under a parent, both
# transformed (the plane x = 0.5 in the scene is x = 0.1 in the node), and a
# .glb holding an image in its BIN chunk. Each carries NORMAL, TEXCOORD_0 and
# COLOR_0 besides POSITION, a material and extras.
python3 - "$suzanne" "$out" <<'EOF' || fail "writing the glTF files"
import json, math, struct, sys
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
pos = b"".join(struct.pack("<3f", *p) for p in vs)
nor = b"".join(struct.pack("<3f", *normal(p)) for p in vs)
uv = b"".join(struct.pack("<2f", p[0] + 0.5, p[1]) for p in vs)
col = b"".join(struct.pack("<4f", 1, 0, 0, 1) for p in vs)
idx = b"".join(struct.pack("<3I", *t) for t in tris)
image = b"\x89PNG not really, but kept byte for byte"
image += b"\0" * (-len(image) % 4)
def gltf(blob_uri, transformed):
    parts = [pos, nor, uv, col, idx, image]
    views, at = [], 0
    for part in parts:
        views.append({"buffer": 0, "byteOffset": at, "byteLength": len(part)}); at += len(part)
    n = len(vs)
    lo = [min(p[c] for p in vs) for c in range(3)]; hi = [max(p[c] for p in vs) for c in range(3)]
    a = math.radians(30)
    doc = {
        "asset": {"version": "2.0", "generator": "symmetrize test", "extras": {"kept": 1}},
        "extras": {"note": "kept as written"},
        "scene": 0, "scenes": [{"nodes": [0]}],
        "nodes": [{"name": "holder", "children": [1], "translation": [0, 0, 1]},
                  {"name": "monkey", "mesh": 0}],
        "meshes": [{"name": "monkey", "primitives": [{"attributes": {
            "POSITION": 0, "NORMAL": 1, "TEXCOORD_0": 2, "COLOR_0": 3}, "indices": 4, "material": 0}]}],
        "materials": [{"name": "skin", "pbrMetallicRoughness": {"baseColorTexture": {"index": 0}}}],
        "textures": [{"source": 0}],
        "images": [{"bufferView": 5, "mimeType": "image/png"}],
        "accessors": [
            {"bufferView": 0, "componentType": 5126, "count": n, "type": "VEC3", "min": lo, "max": hi},
            {"bufferView": 1, "componentType": 5126, "count": n, "type": "VEC3"},
            {"bufferView": 2, "componentType": 5126, "count": n, "type": "VEC2"},
            {"bufferView": 3, "componentType": 5126, "count": n, "type": "VEC4"},
            {"bufferView": 4, "componentType": 5125, "count": 3 * len(tris), "type": "SCALAR"}],
        "bufferViews": views,
        "buffers": [{"byteLength": at}]}
    if transformed:
        doc["nodes"][1].update({"translation": [0.3, 0.2, -0.1], "scale": [2, 1.5, 1],
                                "rotation": [math.sin(a / 2), 0, 0, math.cos(a / 2)]})
    if blob_uri: doc["buffers"][0]["uri"] = blob_uri
    return doc, b"".join(parts)
doc, blob = gltf("monkey.bin", True)
open(out + "/monkey.bin", "wb").write(blob)
json.dump(doc, open(out + "/monkey.gltf", "w"), indent=1)
doc, blob = gltf(None, False)
text = json.dumps(doc).encode(); text += b" " * (-len(text) % 4)
with open(out + "/monkey.glb", "wb") as f:
    f.write(struct.pack("<3I", 0x46546C67, 2, 12 + 8 + len(text) + 8 + len(blob)))
    f.write(struct.pack("<2I", len(text), 0x4E4F534A) + text)
    f.write(struct.pack("<2I", len(blob), 0x004E4942) + blob)
EOF
echo "keep me" >"$out/sym_monkey.bin"
for name in monkey.gltf:0.5 monkey.glb:0.1; do
  file=${name%:*} x=${name#*:}
  expect_status "sym_$file" 0 symmetrize "$out/$file" -o "$out/sym_$file" --plane x=$x --keep -x
  grep -q "^faces cut: [1-9]" "$out/sym_$file.out" || fail "sym_$file: no faces cut: $(cat "$out/sym_$file.out")"
  expect_text "sym_$file" out "note: the rebuilt primitives' COLOR_0 dropped"
  expect_status "check_$file" 0 check "$out/sym_$file" --plane x=$x --tolerance 0.01
  expect_line "check_$file" out "unpaired on the -x side: 0"
  expect_line "check_$file" out "unpaired on the +x side: 0"
  grep -q "^pairs found: [1-9]" "$out/check_$file.out" || fail "check_$file: no pairs"
done
# One file: the buffer is a data URI, and a user's file beside it is left alone.
grep -qx "keep me" "$out/sym_monkey.bin" || fail "sym_monkey.gltf: a file beside the output changed"

# What glTF keeps, read back in node space (the plane there is x = 0.1 for both).
python3 - "$out" <<'EOF' || fail "the rebuilt glTF files"
import base64, json, math, struct, sys
out = sys.argv[1]
bad = []
def load(path):
    data = open(path, "rb").read()
    if data[:4] == b"glTF":
        n = struct.unpack_from("<I", data, 12)[0]
        doc = json.loads(data[20:20 + n]); at = 20 + n
        if struct.unpack_from("<I", data, 8)[0] != len(data): bad.append(path + ": GLB length")
        blob = data[at + 8: at + 8 + struct.unpack_from("<I", data, at)[0]]
        if "uri" in doc["buffers"][0]: bad.append(path + ": a GLB buffer with a URI")
    else:
        doc = json.loads(data)
        uri = doc["buffers"][0]["uri"]
        if not uri.startswith("data:"): bad.append(path + ": the buffer is not a data URI")
        blob = base64.b64decode(uri.split(",", 1)[1])
    if len(doc["buffers"]) != 1 or doc["buffers"][0]["byteLength"] > len(blob): bad.append(path + ": buffers")
    def read(a):
        acc = doc["accessors"][a]; view = doc["bufferViews"][acc["bufferView"]]
        width = {"SCALAR": 1, "VEC2": 2, "VEC3": 3}[acc["type"]]
        fmt = "<%d%s" % (width, "I" if acc["componentType"] == 5125 else "f")
        start = view.get("byteOffset", 0) + acc.get("byteOffset", 0)
        return [struct.unpack_from(fmt, blob, start + k * struct.calcsize(fmt)) for k in range(acc["count"])]
    return doc, blob, read
for name in ("monkey.gltf", "monkey.glb"):
    doc, blob, read = load(out + "/sym_" + name)
    if doc["extras"] != {"note": "kept as written"} or doc["asset"]["extras"] != {"kept": 1}:
        bad.append(name + ": extras lost")
    if doc["materials"][0]["name"] != "skin": bad.append(name + ": material lost")
    img = doc["bufferViews"][doc["images"][0]["bufferView"]]
    if not blob[img.get("byteOffset", 0):].startswith(b"\x89PNG not really"): bad.append(name + ": image bytes")
    if name.endswith(".gltf") and doc["nodes"][1].get("scale") != [2, 1.5, 1]: bad.append(name + ": transform lost")
    prim = doc["meshes"][0]["primitives"][0]
    if set(prim["attributes"]) != {"POSITION", "NORMAL", "TEXCOORD_0"} or prim.get("material") != 0:
        bad.append(name + ": attributes %s" % prim["attributes"])
    ps = read(prim["attributes"]["POSITION"]); ns = read(prim["attributes"]["NORMAL"])
    ts = read(prim["attributes"]["TEXCOORD_0"]); ix = read(prim["indices"])
    acc = doc["accessors"][prim["attributes"]["POSITION"]]
    for c in range(3):
        if acc["min"][c] != min(p[c] for p in ps) or acc["max"][c] != max(p[c] for p in ps):
            bad.append(name + ": min/max"); break
    if any(i[0] >= len(ps) for i in ix) or len(ix) % 3: bad.append(name + ": indices")
    if not (max(p[0] for p in ps) > 0.3 and min(p[0] for p in ps) < -0.1): bad.append(name + ": not both halves")
    for p, n, t in zip(ps, ns, ts):
        kept = p[0] if p[0] <= 0.1 else 0.2 - p[0]  # the kept vertex a mirrored one copies
        if abs(t[0] - (kept + 0.5)) > 1e-5 or abs(t[1] - p[1]) > 1e-5:
            bad.append(name + ": uv %s at %s" % (t, p)); break
        d = (p[0] - 0.1, p[1], p[2]); l = math.sqrt(sum(c * c for c in d))
        if l > 0.05 and sum(a * b for a, b in zip(n, d)) / l < 0.95:
            bad.append(name + ": normal %s at %s" % (n, p)); break
    print(name, "vertices", len(ps), "triangles", len(ix) // 3)
if bad: print("\n".join(bad)); sys.exit(1)
EOF

# Blender, where there is one, reads what was written. Its glTF importer
# still names numpy's removed alias np.bool, which the newer numpy lacks.
peer=$src/../shared/peer/blender_convert.py
if command -v blender >/dev/null && [ -f "$peer" ]; then
  for file in monkey.gltf monkey.glb; do
    verts=$(blender -b --factory-startup --python-expr "import numpy; numpy.bool = bool" --python "$peer" -- import "$out/sym_$file" 2>&1 |
      awk '/^VERTS/ {print $2}')
    echo "blender reads sym_$file: ${verts:-no} vertices"
    [ "${verts:-0}" -gt 0 ] || fail "blender cannot read sym_$file"
  done
fi

[ "$failures" -eq 0 ] && echo "symmetrize formats: all passed"
exit $((failures > 0))
