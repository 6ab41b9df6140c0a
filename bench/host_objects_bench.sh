#!/usr/bin/env bash
# talvex-host check and resym on a file of many small objects (100 000
# triangles, each its own object, mirrored about x = 0) beside the same file
# with --as-one-object: wall time and peak resident memory from
# /usr/bin/time -v. Work per object must not grow with the objects, so the
# ratio stays near 1 (at most 3).
#   host_objects_bench.sh [OBJECTS]   (default: 100000)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
host=$root/build/native/talvex-host
objects=${1:-100000}
folder=$root/build/bench-grids
mesh=$folder/triangles_$objects.obj
[ -x "$host" ] || { echo "host_objects_bench: build the native preset first" >&2; exit 1; }
mkdir -p "$folder"
[ -s "$mesh" ] || awk -v n="$objects" 'BEGIN {
  for (i = 0; i < n; i++) {
    y = (i % 1000) * 0.5; z = int(i / 1000) * 0.5
    printf "o t%d\nv -1 %g %g\nv 1 %g %g\nv 0 %g %g\nf -3 -2 -1\n", i, y, z, y, z, y + 0.3, z
  }
}' >"$mesh"

# measure COMMAND [FLAGS...]: prints "wall_seconds peak_kib status"
measure() {
  local log
  log=$(mktemp)
  local extra=()
  [ "$1" = resym ] && extra=(-o "$folder/objects_out.obj")
  /usr/bin/time -v "$host" "$1" "$mesh" "${extra[@]}" --plane x=0 --quiet "${@:2}" >/dev/null 2>"$log"
  local status=$?
  local wall peak
  wall=$(awk '/Elapsed \(wall clock\)/ {n = split($NF, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i]; print s}' "$log")
  peak=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$log")
  rm -f "$log" "$folder/objects_out.obj"
  echo "${wall:-0} ${peak:-0} $status"
}

printf '%-6s %9s %14s %9s %18s %9s %7s\n' command objects "wall s" "peak MB" "as one object: s" "peak MB" ratio
for command in check resym; do
  read -r wall peak status < <(measure "$command")
  read -r oneWall onePeak oneStatus < <(measure "$command" --as-one-object)
  note=""
  [ "$status" -eq 0 ] && [ "$oneStatus" -eq 0 ] || note="  exit $status / $oneStatus"
  printf '%-6s %9s %14.2f %9.1f %18.2f %9.1f %7.2f%s\n' "$command" "$objects" "$wall" \
    "$(awk "BEGIN {print $peak / 1024}")" "$oneWall" "$(awk "BEGIN {print $onePeak / 1024}")" \
    "$(awk "BEGIN {print ($oneWall > 0 ? $wall / $oneWall : 0)}")" "$note"
done
