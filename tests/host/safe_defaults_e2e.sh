#!/usr/bin/env bash
# End-to-end tests of resym's and check's defaults, run by ctest in both
# builds: safe_defaults_e2e.sh SOURCE-DIR OUT-DIR HOST-COMMAND...
# resym writes only where told, on the detected plane, at a tolerance measured
# from the mesh, puts the centre line on the plane and refuses a mesh that
# snapping cannot mend; check predicts it.
set -uo pipefail
src=$(cd "$1" && pwd) out=$2
shift 2
host=("$@")
meshes=$src/tests/data/meshes
rm -rf "$out" && mkdir -p "$out"
source "$(dirname "$0")/e2e_lib.sh"
# number NAME PREFIX: the first number after PREFIX at the start of a line of NAME.out
number() { awk -v p="$2" 'index($0, p) == 1 { s = substr($0, length(p) + 1); sub(/[^0-9].*/, "", s); print s; exit }' "$out/$1.out"; }
# vertex FILE N: the N-th v line's coordinates
vertex() { awk -v n="$2" '$1 == "v" && ++k == n { print $2, $3, $4; exit }' "$1"; }

suzanne=$meshes/suzanne_L1.obj

# --- Turned models are refused about a wrong plane, not damaged -----------------
# Suzanne turned 40 degrees about (1, 2, 3): about x through the centroid
# few vertices find a partner; resym says so and writes nothing.
rotate='BEGIN { a = 40 * atan2(0, -1) / 180; l = sqrt(14); x = 1 / l; y = 2 / l; z = 3 / l; c = cos(a); s = sin(a); t = 1 - c
  r11 = t*x*x + c; r12 = t*x*y - s*z; r13 = t*x*z + s*y; r21 = t*x*y + s*z; r22 = t*y*y + c; r23 = t*y*z - s*x
  r31 = t*x*z - s*y; r32 = t*y*z + s*x; r33 = t*z*z + c }'
awk "$rotate"' $1 == "v" { printf "v %.9g %.9g %.9g\n", r11*$2 + r12*$3 + r13*$4, r21*$2 + r22*$3 + r23*$4, r31*$2 + r32*$3 + r33*$4; next } { print }' \
  "$suzanne" >"$out/turned.obj"
expect_status refuse_turned 1 resym "$out/turned.obj" -o "$out/turned_x.obj" --plane x --tolerance 0.1
expect_text refuse_turned err "vertices off the plane found a partner"
expect_text refuse_turned err "at least 90.0% are needed"
expect_text refuse_turned err "--force writes anyway"
[ -e "$out/turned_x.obj" ] && fail "refuse_turned: resym wrote a mesh it refused"
expect_status refuse_turned_check 0 check "$out/turned.obj" --plane x --tolerance 0.1
expect_text refuse_turned_check out "resym would refuse this mesh"
expect_status force_turned 0 resym "$out/turned.obj" -o "$out/turned_x.obj" --plane x --tolerance 0.1 --force
[ -s "$out/turned_x.obj" ] || fail "force_turned: --force wrote nothing"
# By default the plane is found, and the turned Suzanne is mended.
expect_status turned_default 0 resym "$out/turned.obj" -o "$out/turned_auto.obj"
expect_text turned_default out "plane: auto, "
expect_text turned_default out "(100.0%; resym refuses below 90.0%)"
# A mesh with no mirror plane: the default refuses with the best score.
awk '$1 == "v" { a = 0.8 * ($3 + 1); printf "v %.9g %.9g %.9g\n", cos(a)*$2 - sin(a)*$4 + 0.3*$3*$3, $3 + 0.2*$2*$4, sin(a)*$2 + cos(a)*$4; next } { print }' \
  "$suzanne" >"$out/twisted.obj"
expect_status twisted_default 1 resym "$out/twisted.obj" -o "$out/twisted_out.obj"
expect_text twisted_default err "no convincing symmetry plane (the best mirrors "
[ -e "$out/twisted_out.obj" ] && fail "twisted_default: resym wrote a mesh it found no plane for"

# --- In place only when asked ---------------------------------------------------
cp "$suzanne" "$out/keep.obj"
expect_status no_target 2 resym "$out/keep.obj" --plane x=0
expect_text no_target err "--in-place to replace the input"
cmp -s "$out/keep.obj" "$suzanne" || fail "no_target: resym without -o changed its input"
expect_status both_targets 2 resym "$out/keep.obj" -o "$out/x.obj" --in-place
# -o - writes the mesh to standard output and the report to standard error.
expect_status to_file 0 resym "$out/turned.obj" -o "$out/turned_file.obj"
expect_status to_stdout 0 resym "$out/turned.obj" -o -
cmp -s "$out/to_stdout.out" "$out/turned_file.obj" || fail "to_stdout: standard output is not the mesh -o writes"
expect_text to_stdout err "plane: auto, "
expect_text to_stdout err "wrote standard output"
# --dry-run reports what would move and writes nothing.
cp "$out/turned.obj" "$out/dry.obj"
expect_status dry_run 0 resym "$out/dry.obj" --dry-run
expect_text dry_run out "would move: "
expect_line dry_run out "wrote nothing (--dry-run)"
cmp -s "$out/dry.obj" "$out/turned.obj" || fail "dry_run: the input changed"
[ "$(ls "$out" | grep -c '\.lock$')" -eq 0 ] || fail "dry_run: left a lock file"
expect_status in_place 0 resym "$out/dry.obj" --in-place --quiet
cmp -s "$out/dry.obj" "$out/turned_file.obj" || fail "in_place: not the mesh -o writes"

# --- The default plane is the mirror plane, not the centroid -------------------
# One ear pulled out (x > 1.1 moved by 0.3 along x): the centroid leaves
# x = 0 by 0.011, and a plane through it moves hundreds of vertices. The
# detected plane is x = 0, and nothing moves by more than rounding.
awk '$1 == "v" && $2 > 1.1 { printf "v %.6f %s %s\n", $2 + 0.3, $3, $4; next } { print }' "$suzanne" >"$out/ear.obj"
raised=$(awk '$1 == "v" && $2 > 1.1' "$suzanne" | wc -l)
[ "$raised" -gt 0 ] || fail "ear: no vertex raised"
expect_status ear_default 0 resym "$out/ear.obj" -o "$out/ear_resym.obj" --tolerance 0.02
expect_text ear_default out "plane: auto, x = 0 (at x = 0.000000)"
noticeably=$(awk '/^vertices moved: / { gsub(/\(/, "", $4); print $4; exit }' "$out/ear_default.out")
[ "${noticeably:-1}" -eq 0 ] || fail "ear_default: $noticeably vertices moved by more than 0.0001: $(cat "$out/ear_default.out")"
expect_status ear_centroid 0 resym "$out/ear.obj" -o "$out/ear_x.obj" --tolerance 0.02 --plane x --force
expect_text ear_centroid out "plane: x = centroid (at x = 0.011183)"

# --- The tolerance comes from the mesh -------------------------------------------
expect_status measured 0 check "$suzanne"
expect_text measured out "(measured from the mesh; the plug-in works with the float "
expect_text measured out "so it works on the model scaled by 2^"
ambiguous=$(number measured "ambiguous pairs: ")
[ "${ambiguous:-9999}" -le 20 ] || fail "measured: $ambiguous ambiguous pairs on an exactly symmetric mesh"
expect_text measured out "(100.0%): resym would write it"
# Scaling by a power of two is exact: a noisy Suzanne comes out byte for byte
# the same whether the plug-in works on it as it is or scaled by 8 or by 1/4.
# Her centre line stays on x = 0 and the rest 0.01 or more off it, so no vertex
# lies between the plug-in's gate for starters (0.0001) and that gate scaled.
awk 'BEGIN { srand(7) } $1 == "v" && $2 != 0 { x = $2 + (rand() - 0.5) * 0.01; if (x * $2 < 0.0001) x = $2
  printf "v %.6f %.6f %.6f\n", x, $3 + (rand() - 0.5) * 0.01, $4 + (rand() - 0.5) * 0.01; next } { print }' \
  "$suzanne" >"$out/noisy.obj"
for k in 0 3 -2; do
  TALVEX_HOST_SCALE_EXPONENT=$k expect_status "scaled_$k" 0 resym "$out/noisy.obj" -o "$out/noisy_$k.obj" --plane x=0 --tolerance 0.05 --no-center
  sed -i '/^message: /d; /^tolerance: /d; /^wrote /d' "$out/scaled_$k.out"
done
expect_text scaled_3 out "vertices moved: "
# With a vertex between the gates, resym says so.
awk '$1 == "v" && $2 == 0 && !done { printf "v 0.00008 %s %s\n", $3, $4; done = 1; next } { print }' "$suzanne" >"$out/gate.obj"
expect_status gate 0 resym "$out/gate.obj" -o "$out/gate_out.obj" --plane x=0 --tolerance 0.005
expect_text gate out "1 vertices lie between the two and were searched for partners"
for k in 3 -2; do
  cmp -s "$out/noisy_0.obj" "$out/noisy_$k.obj" || fail "scaled_$k: the mesh differs from the unscaled run's"
  cmp -s "$out/scaled_0.out" "$out/scaled_$k.out" || fail "scaled_$k: the report differs: $(diff "$out/scaled_0.out" "$out/scaled_$k.out")"
done
# The tolerance as typed, beside the float in use.
expect_status typed 0 check "$suzanne" --tolerance 0.02
expect_line typed out "tolerance: 0.02 (--tolerance; the plug-in works with the float 0.0199999996)"
expect_text typed out "; the tolerance in use, 0.02, is "
# Talvex.ini in the current folder: taken when the plug-in takes it, else
# reported as ignored.
mkdir -p "$out/ini/Plugins/Startup Plugins" "$out/badini/Plugins/Startup Plugins"
printf '[CONFIG]\r\nTOLERANCE_A=0.05\r\n' >"$out/ini/Plugins/Startup Plugins/Talvex.ini"
printf '[CONFIG]\r\nTOLERANCE_A=0.001\r\n' >"$out/badini/Plugins/Startup Plugins/Talvex.ini"
cd "$out/ini" && expect_status ini_taken 0 check "$suzanne"; cd - >/dev/null
expect_line ini_taken out "tolerance: 0.05 (Talvex.ini; the plug-in works with the float 0.0500000007)"
cd "$out/badini" && expect_status ini_ignored 0 check "$suzanne"; cd - >/dev/null
expect_line ini_ignored out "Talvex.ini: TOLERANCE_A=0.001 is outside the plug-in's range (0.01 to 1024): ignored, default taken"
expect_text ini_ignored out "(measured from the mesh"

# --- The centre line goes onto the plane -------------------------------------------
# Three vertices of x = 0 nudged by 0.004, 0.008 and 0.012: they end on the
# plane, and no pair is made with them.
awk '$1 == "v" { n++; if ($2 == 0 && ++z % 20 == 10 && z <= 50) { printf "v %.3f %s %s\n", 0.004 * (z + 10) / 20, $3, $4; print n > "/dev/stderr"; next } } { print }' \
  "$suzanne" >"$out/nudged.obj" 2>"$out/nudged.list"
[ "$(wc -l <"$out/nudged.list")" -eq 3 ] || fail "nudged: not three vertices nudged"
expect_status nudged 0 resym "$out/nudged.obj" -o "$out/nudged_resym.obj"
expect_line nudged out "pairs found: 971"
expect_line nudged out "put on the plane: 3 unpaired vertices near it (the centre line)"
while read -r n; do
  set -- $(vertex "$out/nudged_resym.obj" "$n")
  [ "$(awk -v x="$1" 'BEGIN { print (x + 0 == 0) }')" = 1 ] || fail "nudged: vertex $n ends at x = $1, not on the plane"
done <"$out/nudged.list"
expect_status nudged_check 0 check "$out/nudged.obj"
expect_text nudged_check out "unpaired near the plane (the centre line resym puts onto it): 3 "
expect_status nudged_off 0 resym "$out/nudged.obj" -o "$out/nudged_off.obj" --no-center
expect_line nudged_off out "put on the plane: 0 unpaired vertices near it (the centre line)"

# --- Plane texts -------------------------------------------------------------------
expect_status plane_far 2 check "$suzanne" --plane x=1e300
expect_text plane_far err "1e300 is beyond the range of the model's coordinates"
expect_status plane_far_general 2 check "$suzanne" --plane 1,0,0,1e300
expect_text plane_far_general err "that plane lies farther from the origin than any coordinate can"
# Huge coefficients are one plane like any other: x = 1e-300, that is x = 0.
expect_status plane_huge 0 check "$suzanne" --plane 1e300,0,0,1
expect_text plane_huge out "plane: 1.000000 x + 0.000000 y + 0.000000 z = 0.000000"

# --- Materials: a relative mtllib is looked for beside the output -------------------
mkdir -p "$out/mtl" "$out/mtl_out"
{ echo "mtllib head.mtl"; cat "$suzanne"; } >"$out/mtl/head.obj"
: >"$out/mtl/head.mtl"
expect_status mtl_elsewhere 0 resym "$out/mtl/head.obj" -o "$out/mtl_out/head.obj"
expect_text mtl_elsewhere err "names its materials \"head.mtl\" relative to its folder"
expect_status mtl_beside 0 resym "$out/mtl/head.obj" -o "$out/mtl/head2.obj"
[ -s "$out/mtl_beside.err" ] && fail "mtl_beside: warned: $(cat "$out/mtl_beside.err")"
# The file is searched in 4 MiB windows: a name across the first boundary and
# one on the last line without an end are found too.
cp "$suzanne" "$out/mtl/wide.obj"
pad=$((4194304 - 3 - $(wc -c <"$out/mtl/wide.obj")))
[ "$pad" -gt 0 ] || fail "mtl_windows: the mesh is too large to pad to the window"
awk -v n="$((pad > 0 ? pad : 0))" 'BEGIN { while (n > 100) { printf "#%s\n", sprintf("%98s", ""); n -= 100 }
  s = ""; for (i = 1; i < n; i++) s = s "#"; print s }' >>"$out/mtl/wide.obj"
{ echo "mtllib across.mtl"; printf 'mtllib last.mtl'; } >>"$out/mtl/wide.obj"
[ "$(grep -b -o 'mtllib across' "$out/mtl/wide.obj" | cut -d: -f1)" = 4194301 ] ||
  fail "mtl_windows: the padding missed the window boundary"
expect_status mtl_windows 0 resym "$out/mtl/wide.obj" -o "$out/mtl_out/wide.obj"
expect_text mtl_windows err "names its materials \"across.mtl\""
expect_text mtl_windows err "names its materials \"last.mtl\""

# --- The plug-in's messages end the progress line first ------------------------------
# Progress shows only on a terminal: `script` gives the host one (natively).
wine=0
[[ "${host[0]}" == *wine-run ]] && wine=1
if [ "$wine" -eq 0 ] && command -v script >/dev/null; then
  # Three Suzannes as three objects: long enough work for a progress line.
  awk 'FNR == 1 { base = f++ * 2012; print "o Copy" f } $1 == "v" { print; next }
    $1 == "f" { printf "f"; for (i = 2; i <= NF; i++) printf " %d", $i + base; print ""; next }' \
    "$suzanne" "$suzanne" "$suzanne" >"$out/three.obj"
  printf -v command '%q ' "${host[@]}" resym "$out/three.obj" -o "$out/three_out.obj" --plane x=0 --tolerance 0.05
  script -qc "$command" /dev/null >"$out/progress.out" 2>&1
  sed -i 's/\r/\n/g' "$out/progress.out"
  grep -q "^talvex-host: running Smart Resym on 6036 vertices\.\.\.$" "$out/progress.out" &&
    grep -q "^message: Talvex: Smart Resym - " "$out/progress.out" ||
    fail "progress: the plug-in's message shares the progress line: $(cat "$out/progress.out")"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed; outputs in $out"
  exit 1
fi
echo "all safe-default checks passed"
