#!/usr/bin/env bash
# Where the DLL's time goes under Wine: runs talvex_timer.exe (build/win32)
# under `perf record` and names each sample's function from the symbols of
# Talvex.dll.debug and talvex_timer.exe (perf itself sees the PE images only as
# addresses). Samples in the kernel are one line: under Wine they are mostly
# the first touches of freshly allocated pages. The whole process is sampled,
# set-up included, so compare runs of the same arguments.
#
#   bench/dll_profile.sh [talvex_timer arguments]   (default: --grid 1000000
#                        --repeats 20 --no-scan)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/win32
out=${BENCH_OUT:-$root/build/bench}
mkdir -p "$out"
[ $# -gt 0 ] || set -- --grid 1000000 --repeats 20 --no-scan
nm=i686-w64-mingw32-nm
for tool in perf python3 "$nm" xvfb-run; do
  command -v "$tool" >/dev/null || { echo "dll_profile: $tool is not installed" >&2; exit 1; }
done

data=$out/dll_profile.data
(cd "$build" && perf record -q -o "$data" -- xvfb-run -a -s "-screen 0 1024x768x24" \
  "$root/cmake/wine-run" ./talvex_timer.exe --name profile "$@") | tr -d '\r' | grep '^RESULT' || true

# Text symbols at their load addresses (the DLL loads at its image base).
"$nm" -C "$build/Talvex.dll.debug" "$build/talvex_timer.exe" 2>/dev/null |
  awk '$2 == "t" || $2 == "T"' >"$out/dll_profile.symbols"
perf script -i "$data" -F ip 2>/dev/null | python3 -c '
import bisect, collections, sys
symbols = []
for line in open(sys.argv[1]):
    parts = line.rstrip("\n").split(" ", 2)
    if len(parts) == 3 and parts[2] != ".text":
        symbols.append((int(parts[0], 16), parts[2]))
symbols.sort()
starts = [address for address, _ in symbols]
counts = collections.Counter()
total = 0
for line in sys.stdin:
    try:
        ip = int(line.split()[0], 16)
    except (IndexError, ValueError):
        continue
    total += 1
    i = bisect.bisect_right(starts, ip) - 1
    if ip >= 1 << 63:
        name = "[kernel]"
    elif i >= 0 and ip - starts[i] < 0x10000:
        name = symbols[i][1]
    else:
        name = "[other libraries]"
    counts[name] += 1
for name, count in counts.most_common(25):
    print("%6.2f%%  %s" % (100.0 * count / max(total, 1), name[:110]))
' "$out/dll_profile.symbols"
