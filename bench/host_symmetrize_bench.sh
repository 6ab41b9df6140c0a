#!/usr/bin/env bash
# talvex-host symmetrize end to end (read, cut, mirror, weld, write) on the
# 1 M-vertex noisy grid, beside Blender importing the same OBJ, running
# Symmetrize +X to -X and exporting (../shared/peer/blender_batch.py), each
# timed as a whole process, in one run. Both use the weld distance 0.0001;
# the vertex and face counts of the two outputs are printed side by side.
#   host_symmetrize_bench.sh [VERTICES]   (default 1000000)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
native=$root/build/native
grids=$root/build/bench-grids
peer=$root/../shared/peer/blender_batch.py
n=${1:-1000000}
mkdir -p "$grids"
[ -x "$native/grid_obj" ] || { echo "host_symmetrize_bench: build the native preset first" >&2; exit 1; }
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
