#!/usr/bin/env bash
# Where the Windows host's time goes under Wine: runs talvex-host.exe
# (build/win32) under `perf record` and names each sample's function from the
# symbols of talvex-host.exe and Talvex.dll.debug, and from those of Wine's
# C runtime (msvcrt.dll), which the host calls for memmove and the like; and
# how the samples share out among the threads (reading and writing use several).
#
#   bench/host_wine_profile.sh [talvex-host arguments]   (default: resym of
#       build/bench-grids/grid_1000000.obj to a scratch file, plane x = 0,
#       tolerance 0.05)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/win32
out=${BENCH_OUT:-$root/build/bench}
mkdir -p "$out"
if [ $# -eq 0 ]; then
  set -- resym "$root/build/bench-grids/grid_1000000.obj" -o "$out/host_wine_profile.obj" \
    --plane x=0 --tolerance 0.05 --stats
fi
nm=i686-w64-mingw32-nm objdump=i686-w64-mingw32-objdump
for tool in perf python3 "$nm" "$objdump" xvfb-run wine; do
  command -v "$tool" >/dev/null || { echo "host_wine_profile: $tool is not installed" >&2; exit 1; }
done

data=$out/host_wine_profile.data
# The run's output goes to a file: Wine's server, started here, would hold a
# pipe open long after the run.
perf record -q -o "$data" -- xvfb-run -a -s "-screen 0 1024x768x24" \
  "$root/cmake/wine-run" "$build/talvex-host.exe" "$@" >"$out/host_wine_profile.log" 2>&1 </dev/null || true
grep '^stats: reading' "$out/host_wine_profile.log" || true

symbols=$out/host_wine_profile.symbols
"$nm" -C "$build/talvex-host.exe" "$build/Talvex.dll.debug" 2>/dev/null |
  awk '$2 == "t" || $2 == "T" { address = $1; $1 = ""; $2 = ""; sub(/^ +/, ""); print address, $0 }' \
    >"$symbols"
# Wine's C runtime keeps its symbols; they are at the addresses it loads at
# (its image base), which perf gives as offsets.
msvcrt=$(find /usr/lib /usr/local/lib /opt -path '*i386-windows/msvcrt.dll' 2>/dev/null | head -1)
if [ -n "$msvcrt" ]; then
  "$nm" "$msvcrt" 2>/dev/null | awk '$2 == "t" || $2 == "T" { print $1, "msvcrt:" $3 }' >>"$symbols"
  "$objdump" -p "$msvcrt" | awk '/^ImageBase/ { print $2, "msvcrt.dll" }' >>"$symbols"
fi

perf script -i "$data" --comm talvex-host.exe -F tid,ip,dso 2>/dev/null | python3 -c '
import bisect, collections, sys
symbols = sorted((int(a, 16), n) for a, n in (l.rstrip("\n").split(" ", 1) for l in open(sys.argv[1])))
starts = [a for a, _ in symbols]
base = next((a for a, n in symbols if n == "msvcrt.dll"), 0)
counts, threads, total = collections.Counter(), collections.Counter(), 0
for line in sys.stdin:
    parts = line.split()
    if len(parts) < 3:
        continue
    tid, ip, dso = parts[0], int(parts[1], 16), parts[2]
    if dso.endswith("msvcrt.dll)") and ip < base:
        ip += base  # perf gives offsets into the runtime
    total += 1
    threads[tid] += 1
    i = bisect.bisect_right(starts, ip) - 1
    if ip >= 1 << 63:
        name = "[kernel]"
    elif i >= 0 and ip - starts[i] < 0x10000 and ip < 0x70000000:
        name = symbols[i][1]
    else:
        name = "[" + dso.strip("()").split("/")[-1] + "]"
    counts[name] += 1
print("samples per thread:", ", ".join("%d" % c for _, c in threads.most_common()))
for name, count in counts.most_common(30):
    print("%6.2f%%  %s" % (100.0 * count / max(total, 1), name[:110]))
' "$symbols"
