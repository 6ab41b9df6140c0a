#!/usr/bin/env bash
# The main job against the peer's batch job, as whole processes in one run:
# `talvex-host resym GRID -o OUT --plane x=0 --tolerance 0.05` beside Blender
# in batch mode importing the same OBJ, running Snap to Symmetry about X and
# exporting (../shared/peer/blender_batch.py). Runs alternate, so load that
# comes and goes falls on both; medians of wall and CPU time, and the ratio.
#   host_vs_blender.sh [VERTICES [RUNS]]   (default: 1000000 5)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
native=$root/build/native
grids=$root/build/bench-grids
peer=$root/../shared/peer/blender_batch.py
n=${1:-1000000}
runs=${2:-5}

[ -x "$native/grid_obj" ] || { echo "host_vs_blender: build the native preset first" >&2; exit 1; }
if ! command -v blender >/dev/null 2>&1 || [ ! -f "$peer" ]; then
  echo "host_vs_blender: no blender on PATH or no $peer; skipped"
  exit 0
fi
mkdir -p "$grids"
grid=$grids/grid_$n.obj
[ -s "$grid" ] || "$native/grid_obj" "$n" "$grid" || exit 1

# timed LABEL COMMAND...: appends "wall cpu" of one whole process to LABEL's list.
timed() {
  local label=$1 figures
  shift
  figures=$(mktemp)
  if ! /usr/bin/time -o "$figures" -f '%e %U %S' "$@" >/dev/null 2>&1; then
    echo "host_vs_blender: $label failed: $*" >&2
    rm -f "$figures"
    exit 1
  fi
  awk '{printf "%s %.2f\n", $1, $2 + $3}' "$figures" >>"$grids/times_$label"
  rm -f "$figures"
}

rm -f "$grids/times_talvex" "$grids/times_blender"
for _ in $(seq "$runs"); do
  timed talvex "$native/talvex-host" resym "$grid" -o "$grids/vs_out.obj" --plane x=0 \
    --tolerance 0.05 --quiet
  rm -f "$grids/vs_out.obj"
  timed blender blender -b --factory-startup --python "$peer" -- "$grid" "$grids/vs_peer.obj" 0.05
  rm -f "$grids/vs_peer.obj"
done

median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
tw=$(cut -d' ' -f1 "$grids/times_talvex" | median)
tc=$(cut -d' ' -f2 "$grids/times_talvex" | median)
bw=$(cut -d' ' -f1 "$grids/times_blender" | median)
bc=$(cut -d' ' -f2 "$grids/times_blender" | median)
vertices=$(grep -c '^v ' "$grid")
printf 'resym end to end on %s vertices, medians of %s alternating runs (load %s):\n' \
  "$vertices" "$runs" "$(cut -d' ' -f1 /proc/loadavg)"
printf '  talvex-host  wall %6.2f s  cpu %6.2f s\n' "$tw" "$tc"
printf '  blender      wall %6.2f s  cpu %6.2f s\n' "$bw" "$bc"
printf '  talvex-host is %.1f x faster (wall), %.1f x less cpu\n' \
  "$(awk "BEGIN {print $bw / $tw}")" "$(awk "BEGIN {print $bc / $tc}")"
rm -f "$grids/times_talvex" "$grids/times_blender"
