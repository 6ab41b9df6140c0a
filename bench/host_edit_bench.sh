#!/usr/bin/env bash
# The host's symmetry editing on the 1 M-vertex noisy grid (x = 0):
# resym --master +x, whose master half must come out byte for byte and the
# other half as the exact float mirror; check --pairing topology and the time
# the pairing took; and symmetrize end to end (read, cut, mirror, weld,
# write) beside Blender importing the same OBJ, running Symmetrize +X to -X
# and exporting (../shared/peer/blender_batch.py), each timed as a whole
# process, in one run. Both use the weld distance 0.0001; the vertex and face
# counts of the two outputs are printed side by side.
#   host_edit_bench.sh [VERTICES]   (default 1000000)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
native=$root/build/native
grids=$root/build/bench-grids
peer=$root/../shared/peer/blender_batch.py
n=${1:-1000000}
mkdir -p "$grids"
[ -x "$native/grid_obj" ] || { echo "host_edit_bench: build the native preset first" >&2; exit 1; }
mesh=$grids/grid_$n.obj
[ -s "$mesh" ] || "$native/grid_obj" "$n" "$mesh" || exit 1

# wall COMMAND...: the process's wall time in seconds (its output discarded).
wall() {
  local log
  log=$(mktemp)
  /usr/bin/time -f '%e' -o "$log" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; rm -f "$log"; return 1; }
  cat "$log"
  rm -f "$log"
}
counts() { awk '$1 == "v" { v++ } $1 == "f" { f++ } END { printf "%d vertices, %d faces", v, f }' "$1"; }

# The grid's rows of COLUMNS vertices (its header says "C x R vertices").
columns=$(sed -n '1s/.* \([0-9]*\) x [0-9]* vertices.*/\1/p' "$mesh")
master=$(wall "$native/talvex-host" resym "$mesh" -o "$grids/master.obj" --plane x=0 --tolerance 0.05 \
  --master +x --precision shortest) || exit 1
python3 - "$mesh" "$grids/master.obj" "$columns" <<'EOF'
import struct, sys
f32 = lambda t: struct.unpack("<f", struct.pack("<f", float(t)))[0]
vl = lambda p: [l.split() for l in open(p) if l.startswith("v ")]
src, dst, n = vl(sys.argv[1]), vl(sys.argv[2]), int(sys.argv[3])
changed = mirrored = off = 0
for k, (s, d) in enumerate(zip(src, dst)):
    i, j = k % n, k // n
    if i > n // 2:
        changed += s != d
    elif i < n // 2:
        m = [f32(t) for t in dst[j * n + n - 1 - i][1:4]]
        ok = [f32(t) for t in d[1:4]] == [-m[0], m[1], m[2]]
        mirrored += ok
        off += not ok
print("resym --master +x: master half changed in %d vertices; %d of %d others the exact mirror" % (changed, mirrored, mirrored + off))
EOF
echo "resym --master +x of $n vertices: $master s"
"$native/talvex-host" check "$mesh" --plane x=0 --tolerance 0.05 --pairing topology --quiet | grep '^topology: '
rm -f "$grids/master.obj"

ours=$(wall "$native/talvex-host" symmetrize "$mesh" -o "$grids/sym_talvex.obj" --plane x=0 --keep +x --weld 0.0001) || exit 1
echo "symmetrize grid of $n vertices: talvex-host $ours s ($(counts "$grids/sym_talvex.obj"))"
if command -v blender >/dev/null && [ -f "$peer" ]; then
  theirs=$(wall blender -b --factory-startup --python "$peer" -- "$mesh" "$grids/sym_blender.obj" 0.05 symmetrize) || exit 1
  echo "symmetrize grid of $n vertices: Blender $theirs s ($(counts "$grids/sym_blender.obj"))"
  awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "symmetrize: talvex-host is %.1f times as fast as Blender (the floor is 10)\n", b / a }'
else
  echo "symmetrize: blender is not installed; no peer figure"
fi
rm -f "$grids/sym_talvex.obj" "$grids/sym_blender.obj"
