#!/usr/bin/env bash
# CPU time (user + system, every thread) and peak resident memory of whole
# talvex-host processes on noisy mirror-symmetric grids, natively: `resym`,
# `check`, `check --png --json` (ratios to resym beside them) and `detect`.
# Each is the median of several runs (BENCH_RUNS, default 5), taken in turn.
#   host_check_detect_bench.sh [VERTICES...]   (default: 1000000)
# Grids are shared with host_resym_bench.sh in build/bench-grids.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
native=$root/build/native
grids=$root/build/bench-grids
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
runs=${BENCH_RUNS:-5}
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1000000)
mkdir -p "$grids"
[ -x "$native/grid_obj" ] || { echo "host_check_detect_bench: build the native preset first" >&2; exit 1; }
for n in "${sizes[@]}"; do
  [ -s "$grids/grid_$n.obj" ] || "$native/grid_obj" "$n" "$grids/grid_$n.obj" || exit 1
done

# once NAME MESH: one run of the named command; prints "cpu_seconds peak_kib"
once() {
  local name=$1 mesh=$2 args=()
  case $name in
    resym) args=(resym "$mesh" -o "$out/out.obj" --plane x=0 --tolerance 0.05 --quiet) ;;
    check) args=(check "$mesh" --plane x=0 --tolerance 0.05 --quiet) ;;
    check+png+json) args=(check "$mesh" --plane x=0 --tolerance 0.05 --quiet
                          --png "$out/out.png" --json "$out/out.json") ;;
    detect) args=(detect "$mesh") ;;
  esac
  /usr/bin/time -f '%U %S %M' -o "$out/time" "$native/talvex-host" "${args[@]}" >/dev/null 2>&1 ||
    echo "host_check_detect_bench: $name failed on $mesh" >&2
  awk '{printf "%.3f %d\n", $1 + $2, $3}' "$out/time"
}

median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

names=(resym check check+png+json detect)
printf '%-15s %10s %8s %9s  %s\n' command vertices "CPU s" "peak MB" "(medians of $runs; ratios to resym)"
for n in "${sizes[@]}"; do
  mesh=$grids/grid_$n.obj
  vertices=$(grep -c '^v ' "$mesh")
  for ((r = 0; r < runs; r++)); do
    for name in "${names[@]}"; do once "$name" "$mesh" >>"$out/$name"; done
  done
  cpu0=$(cut -d' ' -f1 "$out/resym" | median)
  peak0=$(cut -d' ' -f2 "$out/resym" | median)
  for name in "${names[@]}"; do
    cpu=$(cut -d' ' -f1 "$out/$name" | median)
    peak=$(cut -d' ' -f2 "$out/$name" | median)
    ratio=""
    case $name in check*)
      ratio=$(awk "BEGIN {printf \"%.2f x the CPU, %.2f x the peak\", $cpu / $cpu0, $peak / $peak0}") ;;
    esac
    printf '%-15s %10s %8.2f %9.1f  %s\n' "$name" "$vertices" "$cpu" "$(awk "BEGIN {print $peak / 1024}")" "$ratio"
    rm -f "$out/$name"
  done
done
