#!/usr/bin/env bash
# `make bench-dll`: Smart Resym and live matching's fresh search timed as
# users run them, in the DLL under Wine (build/win32) and in the native build,
# beside the plain scan's estimate and, when `blender` is on PATH, beside
# Blender's "Snap to Symmetry" on the same mesh, all in one run. The noisy
# grid (spacing 0.2, noise 0.01, tolerance 0.05, plane x = 0) is written by
# the peer script beside the checkout when Blender is there, so both time the
# very same file; without Blender each timer builds the same recipe itself.
# Then the meshes of ../shared/meshes (or tests/data/meshes).
#
# Environment: BENCH_SIZES (default "100000 1000000"), BENCH_REPEATS (5),
# BENCH_LIVE (10000 moved vertices), BENCH_OUT (build/bench).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
sizes=${BENCH_SIZES:-100000 1000000}
repeats=${BENCH_REPEATS:-5}
live=${BENCH_LIVE:-10000}
out=${BENCH_OUT:-$root/build/bench}
native=$root/build/native/talvex_timer
dll=$root/build/win32/talvex_timer.exe
peer=$root/../shared/peer/blender_snap.py
meshes=$root/../shared/meshes
[ -f "$meshes/suzanne_L0.obj" ] || meshes=$root/tests/data/meshes
mkdir -p "$out"
results=$out/results.txt
: >"$results"

have_blender=no
if command -v blender >/dev/null 2>&1; then have_blender=yes; fi
have_dll=no
if [ -x "$dll" ] || [ -f "$dll" ]; then have_dll=yes; fi
wine_run=("$root/cmake/wine-run")
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null 2>&1; then
  wine_run=(xvfb-run -a -s "-screen 0 1024x768x24" "$root/cmake/wine-run")
fi

# blender_summary SCRIPT ARGS...: the Blender figures as "min median", or "".
blender_summary() {
  local script=$1
  shift
  blender -b --factory-startup --python "$script" -- "$@" 2>/dev/null |
    sed -n 's/^SUMMARY .*"symmetry_snap": {"min": \([^,]*\), "median": \([^,}]*\).*/\1 \2/p'
}

# timers NAME ARGS...: both builds on one mesh, their RESULT lines tagged.
timers() {
  local name=$1
  shift
  echo "bench: $name" >&2
  (cd "$(dirname "$native")" && ./talvex_timer --name "$name" "$@") | sed -n 's/^RESULT /native /p' >>"$results"
  if [ "$have_dll" = yes ]; then
    (cd "$(dirname "$dll")" && "${wine_run[@]}" ./talvex_timer.exe --name "$name" "$@") |
      tr -d '\r' | sed -n 's/^RESULT /dll /p' >>"$results"
  fi
}

for n in $sizes; do
  name=grid_$n
  mesh=(--grid "$n")
  if [ "$have_blender" = yes ] && [ -f "$peer" ]; then
    echo "bench: Blender on $name" >&2
    figures=$(blender_summary "$peer" --n "$n" --repeats 3 --skip-symmetrize \
      --export-obj "$out/$name.obj")
    [ -n "$figures" ] && echo "blender mesh=$name seconds=${figures% *} median=${figures#* }" >>"$results"
    [ -f "$out/$name.obj" ] && mesh=(--obj "$out/$name.obj")
  fi
  timers "$name" "${mesh[@]}" --tolerance 0.05 --repeats "$repeats" --live "$live"
done

for file in "$meshes"/*.obj; do
  name=$(basename "$file" .obj)
  # The plane each mesh is symmetric about, and a tolerance to its scale.
  axis=x tolerance=0.02
  case $name in
    teapot*) axis=y tolerance=0.5 ;;
    asymmetric*) continue ;;
  esac
  if [ "$have_blender" = yes ]; then
    figures=$(blender_summary "$root/bench/blender_snap_obj.py" "$file" --axis "$axis" \
      --threshold "$tolerance" --repeats 3)
    [ -n "$figures" ] && echo "blender mesh=$name seconds=${figures% *} median=${figures#* }" >>"$results"
  fi
  timers "$name" --obj "$file" --plane "$axis" --tolerance "$tolerance" --repeats "$repeats"
done

# The table: one row per mesh and case, best of the repeats.
awk '
  function field(key,   i, kv) {
    for (i = 2; i <= NF; ++i) { split($i, kv, "="); if (kv[1] == key) return kv[2] }
    return ""
  }
  function ms(s) { return s == "" ? "      -" : sprintf("%7.1f", s * 1000) }
  function ratio(a, b) { return (a == "" || b == "" || b == 0) ? "     -" : sprintf("%6.1f", a / b) }
  {
    row = field("mesh") " " (field("case") == "" ? "resym" : field("case"))
    if (!(row in seen)) { seen[row] = 1; order[++rows] = row }
    t[$1, row] = field("seconds")
    if ($1 == "dll" && field("host_seconds") != "") host[row] = field("host_seconds")
    if ($1 == "dll" && field("cpu_seconds") != "") cpu[row] = field("cpu_seconds")
    if ($1 != "blender") {
      scan[row] = field("scan"); verts[row] = field("vertices")
      if (field("extra_bytes_per_vertex") != "") bytes[row] = field("extra_bytes_per_vertex")
      if (field("moved") != "" && field("case") != "resym") moved[row] = field("moved")
    }
  }
  END {
    printf "%-32s %8s %9s %8s %8s %9s %10s %9s %8s %8s %8s %6s\n", "mesh, case", "vertices",
      "DLL ms", "cpu ms", "host ms", "native ms", "scan s", "Blender ms", "Bl/DLL", "scan/DLL",
      "DLL/nat", "B/vert"
    for (i = 1; i <= rows; ++i) {
      r = order[i]; split(r, part, " ")
      c = part[2] == "resym" ? "resym" : part[2] " " moved[r]
      d = t["dll", r]; nt = t["native", r]; b = (part[2] == "resym") ? t["blender", r] : ""
      printf "%-32s %8s %9s %8s %8s %9s %10s %9s %8s %8s %8s %6s\n", part[1] " " c, verts[r], ms(d),
        ms(cpu[r]), ms(host[r]), ms(nt), scan[r] == "" || scan[r] == 0 ? "-" : sprintf("%.3g", scan[r]), ms(b),
        ratio(b, d), ratio(scan[r], d), ratio(d, nt), bytes[r] == "" ? "-" : bytes[r]
    }
    print "Times are the best of the repeats. cpu ms: the DLL command'"'"'s mean processor time,"
    print "which a loaded machine inflates far less than the wall time (coarse under Wine)."
    print "host ms: the part of the DLL time spent in the"
    print "substitute host'"'"'s registerEditedVertices (its undo copy), not in the plug-in."
    print "scan s: the plain scan, estimated from a sample"
    print "in the DLL (natively without it). Bl/DLL, scan/DLL: how many times faster the DLL is;"
    print "DLL/nat: the DLL'"'"'s time over the native one. B/vert: the search'"'"'s extra heap per mesh"
    print "vertex, counted natively (the DLL'"'"'s entries are the same size, its pointers smaller)."
  }' "$results"
