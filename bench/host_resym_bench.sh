#!/usr/bin/env bash
# talvex-host resym end to end (read, plane, Smart Resym, write) on noisy
# mirror-symmetric grids, natively and as talvex-host.exe under Wine: wall
# time and peak resident memory from /usr/bin/time -v, and the peak per
# vertex above the same command on a three-vertex mesh (the fixed footprint,
# mostly the OpenGL driver the first paint needs); then `check` on the same
# mesh, its wall time and peak beside resym's as ratios.
#   host_resym_bench.sh [VERTICES...]   (default: 1000000 10000000)
# Grids are generated once into build/bench-grids (about 62 bytes a vertex).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
native=$root/build/native
win32=$root/build/win32
grids=$root/build/bench-grids
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1000000 10000000)
mkdir -p "$grids"

[ -x "$native/grid_obj" ] || { echo "host_resym_bench: build the native preset first" >&2; exit 1; }
printf 'o tiny\nv 1 0 0\nv -1 0 0\nv 0 1 0\nf 1 2 3\n' >"$grids/tiny.obj"
for n in "${sizes[@]}"; do
  [ -s "$grids/grid_$n.obj" ] || "$native/grid_obj" "$n" "$grids/grid_$n.obj" || exit 1
done

# measure BUILD MESH [COMMAND]: prints "wall_seconds peak_kib status"
measure() {
  local build=$1 mesh=$2 command=${3:-resym} log
  log=$(mktemp)
  local cmd=("$native/talvex-host")
  if [ "$build" = win32 ]; then
    cmd=(xvfb-run -a -s "-screen 0 1024x768x24" "$root/cmake/wine-run" "$win32/talvex-host.exe")
  fi
  local output=(-o "$grids/out.obj")
  [ "$command" = check ] && output=()
  /usr/bin/time -v "${cmd[@]}" "$command" "$mesh" "${output[@]}" --plane x=0 --tolerance 0.05 --quiet \
    >/dev/null 2>"$log"
  local status=$?
  local wall peak
  # The figure is the last field: what the command printed may share the line.
  wall=$(awk '/Elapsed \(wall clock\)/ {n = split($NF, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i]; print s}' "$log")
  peak=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$log")
  [ "$status" -eq 0 ] || grep -v '^\s' "$log" | grep -v 'Command exited' | head -3 >&2
  rm -f "$log" "$grids/out.obj"
  echo "${wall:-0} ${peak:-0} $status"
}

builds=(native)
if [ -x "$win32/talvex-host.exe" ] && command -v wine >/dev/null; then builds+=(win32); fi
printf '%-8s %10s %9s %10s %16s  %s\n' build vertices "wall s" "peak MB" "peak B/vertex" "(above the 3-vertex run)"
for build in "${builds[@]}"; do
  read -r _ base _ < <(measure "$build" "$grids/tiny.obj")
  printf '%-8s %10s %9s %10.1f %16s\n' "$build" 3 - "$(awk "BEGIN {print $base / 1024}")" -
  for n in "${sizes[@]}"; do
    read -r wall peak status < <(measure "$build" "$grids/grid_$n.obj")
    vertices=$(grep -c '^v ' "$grids/grid_$n.obj")
    if [ "$status" -ne 0 ]; then
      printf '%-8s %10s %9s %10.1f %16s  exit %s (refused or failed; reason above)\n' "$build" "$vertices" "$wall" \
        "$(awk "BEGIN {print $peak / 1024}")" - "$status"
    else
      printf '%-8s %10s %9.2f %10.1f %16.0f\n' "$build" "$vertices" "$wall" "$(awk "BEGIN {print $peak / 1024}")" \
        "$(awk "BEGIN {print ($peak - $base) * 1024 / $vertices}")"
      read -r cwall cpeak cstatus < <(measure "$build" "$grids/grid_$n.obj" check)
      [ "$cstatus" -eq 0 ] && printf '%-8s %10s %9.2f %10.1f  check: %.2f x the time, %.2f x the peak\n' \
        "$build" "$vertices" "$cwall" "$(awk "BEGIN {print $cpeak / 1024}")" \
        "$(awk "BEGIN {print $cwall / $wall}")" "$(awk "BEGIN {print $cpeak / $peak}")"
    fi
  done
done
