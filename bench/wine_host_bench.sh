#!/usr/bin/env bash
# Times `resym` on a tiny mesh and on a large one, natively and in the win32
# build under Wine, side by side in one run: wall, CPU, peak memory, the
# --stats phases, and peak bytes per vertex above the tiny run's footprint.
# Both builds must write the same bytes. BENCH_TREES="A B" times the builds
# of other source trees too, round by round, to compare a change with what
# it replaces (their outputs must match as well).
# Run inside an X server (xvfb-run -a bench/wine_host_bench.sh ...): one
# wineserver is kept alive so every Wine run pays the same start-up.
# Usage: wine_host_bench.sh BIG.obj VERTICES [ROUNDS]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
big=$1 vertices=$2 rounds=${3:-3}
trees=(${BENCH_TREES:-$root})
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
tiny=$out/tiny.obj
printf 'v 1 0 0\nv -1 0 0\nv 0 1 0\nf 1 2 3\n' >"$tiny"
export WINEPREFIX=$root/build/win32/wineprefix WINEARCH=win32 WINEDEBUG=-all
# The wineserver's children inherit its pipes: it never writes to ours.
wineserver -p 60 >/dev/null 2>&1 </dev/null &
sleep 2
uptime
run() {  # LABEL MESH PROGRAM...
  local label=$1 mesh=$2
  shift 2
  /usr/bin/time -o "$out/time" -f "%e %U %S %M" "$@" resym "$mesh" -o "$out/out.obj" \
    --plane x=0 --tolerance 0.05 --stats >"$out/log" 2>&1 </dev/null
  read -r wall user sys peak <"$out/time"
  local phases
  phases=$(grep -E "stats: reading" "$out/log" | sed 's/.*stats: //; s/detection.*first/first/')
  printf '%-22s wall %5.2f s  cpu %5.2f s  peak %7d KB  %s\n' "$label" "$wall" \
    "$(echo "$user + $sys" | bc)" "$peak" "$phases"
  last_peak=$peak
}
first=
for ((i = 0; i < rounds; ++i)); do
  for tree in "${trees[@]}"; do
    name=$(basename "$tree")
    for build in native win32; do
      if [ $build = native ]; then prog=("$tree/build/native/talvex-host"); else
        prog=("$root/cmake/wine-run" "$tree/build/win32/talvex-host.exe"); fi
      run "$name $build tiny" "$tiny" "${prog[@]}"
      tiny_peak=$last_peak
      run "$name $build big" "$big" "${prog[@]}"
      echo "   peak above tiny: $(((last_peak - tiny_peak) * 1024 / vertices)) B/vertex"
      if [ -z "$first" ]; then
        first=$out/first.obj
        mv "$out/out.obj" "$first"
      else
        cmp -s "$out/out.obj" "$first" || echo "FAIL: $name $build wrote other bytes"
      fi
    done
  done
done
wineserver -k >/dev/null 2>&1
