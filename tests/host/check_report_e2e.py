#!/usr/bin/env python3
"""End-to-end test of `talvex-host check`'s report, run by ctest in both builds:
check_report_e2e.py SOURCE-DIR OUT-DIR HOST-COMMAND...

Known asymmetries are planted in a copy of a symmetric mesh (moved vertices,
a removed vertex, a vertex pulled just off the plane, a near-duplicate that
makes one starter ambiguous); the JSON report must name exactly those."""
import json
import os
import struct
import subprocess
import sys

src, out, host = sys.argv[1], sys.argv[2], sys.argv[3:]
os.makedirs(out, exist_ok=True)
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL: " + what)


def run(*args):
    done = subprocess.run(host + [str(a) for a in args], capture_output=True, text=True)
    return done.returncode, done.stdout.replace("\r\n", "\n"), done.stderr.replace("\r\n", "\n")


def read_obj(path):
    vertices, other = [], []
    for line in open(path):
        if line.startswith("v "):
            vertices.append([float(t) for t in line.split()[1:4]])
        else:
            other.append(line.rstrip("\n"))
    return vertices, other


def write_obj(path, vertices, faces):
    with open(path, "w") as f:
        for v in vertices:
            f.write("v %.6f %.6f %.6f\n" % tuple(v))
        for face in faces:
            f.write("f " + " ".join(str(i) for i in face) + "\n")


def partner(vertices, i):
    x, y, z = vertices[i]
    return min(range(len(vertices)), key=lambda j: (vertices[j][0] + x) ** 2 + (vertices[j][1] - y) ** 2 +
               (vertices[j][2] - z) ** 2)


# Suzanne, ten times larger: edges are then far longer than the plug-in's
# smallest tolerance, so a tolerance of 0.05 leaves no starter ambiguous.
vertices, other = read_obj(os.path.join(src, "tests/data/meshes/suzanne_L1.obj"))
vertices = [[c * 10.0 for c in v] for v in vertices]
faces = [[int(t.split("/")[0]) for t in line.split()[1:]] for line in other if line.startswith("f ")]
clean = os.path.join(out, "clean.obj")
write_obj(clean, vertices, faces)

off = [i for i, v in enumerate(vertices) if v[0] > 0.5]
moved = off[10:60:10]                           # five vertices on the +x side
ambiguous = next(i for i in off[80:] if partner(vertices, i) > i)
removed = partner(vertices, off[100])           # on the -x side: its partner loses it
lonely = off[100]
centre = next(i for i, v in enumerate(vertices) if abs(v[0]) < 1e-6)
duplicate_of = partner(vertices, ambiguous)

planted = [list(v) for v in vertices]
for i in moved:
    planted[i][0] += 0.02
planted[centre][0] = 0.003
planted.append([planted[duplicate_of][0], planted[duplicate_of][1] + 0.01, planted[duplicate_of][2]])
number = {}                                      # 0-based index before removal -> 1-based number after
for i in range(len(planted)):
    if i != removed:
        number[i] = i + 1 - (1 if i > removed else 0)
kept = [v for i, v in enumerate(planted) if i != removed]
kept_faces = [[number[i - 1] for i in face] for face in faces if removed + 1 not in face]
mesh = os.path.join(out, "planted.obj")
write_obj(mesh, kept, kept_faces)
duplicate = len(kept)

status, text, err = run("check", clean, "--plane", "x=0", "--tolerance", "0.05", "--fail-unpaired", "--fail-above",
                        "0.001", "--json", os.path.join(out, "clean.json"))
check(status == 0, "the clean mesh fails its check: %d %s" % (status, err))
report = json.load(open(os.path.join(out, "clean.json")))
check(report["summary"]["deviatingPairs"] == 0 and report["summary"]["unpaired"] == 0 and
      report["ambiguous"]["count"] == 0, "the clean mesh is not clean: %s" % report["summary"])
on_plane = report["summary"]["onPlane"]

jsonfile = os.path.join(out, "planted.json")
csvfile = os.path.join(out, "planted.csv")
status, text, err = run("check", mesh, "--plane", "x=0", "--tolerance", "0.05", "--json", jsonfile, "--csv", csvfile)
check(status == 0, "check of the planted mesh: %d %s" % (status, err))
report = json.load(open(jsonfile))
check(report["schema"] == "talvex-check/1", "schema")
pairs = report["pairs"]
check(sorted(min(p["starter"]["vertex"], p["partner"]["vertex"], key=lambda n: n not in [number[i] for i in moved])
             for p in pairs) == sorted(number[i] for i in moved),
      "deviating pairs are not the moved vertices: %s" % [(p["starter"]["vertex"], p["partner"]["vertex"]) for p in pairs])
check(all(abs(p["deviation"] - 0.02) < 1e-4 for p in pairs), "deviations: %s" % [p["deviation"] for p in pairs])
check([p["rank"] for p in pairs] == list(range(1, len(pairs) + 1)) and
      all(a["deviation"] >= b["deviation"] for a, b in zip(pairs, pairs[1:])), "pairs are not ranked")
unpaired = report["unpaired"]
check(sorted(v["vertex"] for v in unpaired["offPlane"]) == sorted([number[lonely], duplicate]),
      "off-plane unpaired: %s, expected %s" % ([v["vertex"] for v in unpaired["offPlane"]], [number[lonely], duplicate]))
check([v["vertex"] for v in unpaired["nearPlane"]] == [number[centre]],
      "near-plane unpaired: %s, expected %d" % ([v["vertex"] for v in unpaired["nearPlane"]], number[centre]))
check(len(unpaired["onPlane"]) == on_plane - 1, "on the plane: %d, expected %d" % (len(unpaired["onPlane"]), on_plane - 1))
starters = report["ambiguous"]["starters"]
check([(s["starter"], s["partner"]) for s in starters] == [(number[ambiguous], number[duplicate_of])] and
      [c["vertex"] for c in starters[0]["nearest"]] == [number[duplicate_of], duplicate],
      "ambiguous starters: %s" % starters)
summary = report["summary"]
check(summary["unpaired"] == 3 and summary["deviatingPairs"] == 5 and 0.0 < summary["score"] < 1.0 and
      abs(summary["maxDeviation"] - 0.02) < 1e-4, "summary: %s" % summary)
lines = open(csvfile).read().splitlines()
check(len(lines) == 6 and lines[0].startswith("rank,vertex_a,vertex_b,deviation"), "CSV: %s" % lines[:2])
check("pairs deviating by more than 0.0001: 5, largest first" in text, "text lacks the pair count: " + text[:800])

# Exit status for pipelines; the JSON can go to standard output.
for args, wanted in ((["--fail-above", "0.01"], 1), (["--fail-above", "0.05"], 0), (["--fail-unpaired"], 1),
                     (["--fail-above", "x"], 2)):
    status, text, err = run("check", mesh, "--plane", "x=0", "--tolerance", "0.05", "--quiet", *args)
    check(status == wanted, "%s: exit status %d, expected %d (%s)" % (args, status, wanted, err.strip()))
status, text, err = run("check", mesh, "--plane", "x=0", "--tolerance", "0.05", "--json", "-", "--top", "2")
check(status == 0 and len(json.loads(text)["pairs"]) == 2, "--json - with --top 2: %d %s" % (status, err))

# A tolerance relative to the model: 0.5% of the box diagonal, printed as the plug-in reads it.
status, text, err = run("check", clean, "--plane", "x=0", "--tolerance", "0.5%", "--quiet")
line = next((l for l in text.splitlines() if l.startswith("tolerance: ")), "")
diagonal = float(line.split("box diagonal ")[-1].split(";")[0].rstrip(")")) if "box diagonal" in line else 0.0
check(status == 0 and abs(float(line.split()[1]) - diagonal * 0.005) < 1e-5, "relative tolerance: " + line + err)

# Left and right halves as separate objects: pairing finds little, says why,
# and --as-one-object pairs them as the whole mesh does.
split = os.path.join(out, "split.obj")
with open(split, "w") as f:
    f.writelines("v %.6f %.6f %.6f\n" % tuple(v) for v in vertices)
    for name, side in (("Left", -1), ("Right", 1)):
        f.write("o %s\n" % name)
        f.writelines("f " + " ".join(map(str, face)) + "\n" for face in faces
                     if (sum(vertices[i - 1][0] for i in face) >= 0) == (side > 0))
status, text, err = run("check", split, "--plane", "x=0", "--tolerance", "0.05", "--quiet")
check(status == 0 and "--as-one-object treats the file as one object" in text, "split note missing: " + text + err)
status, text, err = run("check", split, "--plane", "x=0", "--tolerance", "0.05", "--as-one-object", "--quiet")
check("pairs found: %d" % ((len(vertices) - on_plane) // 2) in text, "--as-one-object: " + text + err)
status, text, err = run("objects", split)
check(status == 0 and text.startswith("2 objects, %d vertices" % len(vertices)) and '"Right": ' in text,
      "objects: " + text + err)
status, text, err = run("check", split, "--object", "Middle")
check(status == 1 and 'no object called "Middle"; it has "Left", "Right"' in err, "--object Middle: " + err)

# The picture: a PNG of the size asked for.
png = os.path.join(out, "planted.png")
status, text, err = run("check", mesh, "--plane", "x=0", "--tolerance", "0.05", "--png", png, "--size", "640x360",
                        "--view", "front", "--quiet")
header = open(png, "rb").read(24) if os.path.exists(png) else b""
check(status == 0 and header[:8] == b"\x89PNG\r\n\x1a\n" and struct.unpack(">II", header[16:24]) == (640, 360),
      "--png --size 640x360: %d %s" % (status, err))

sys.exit(1 if failures else 0)
