#!/usr/bin/env bash
# End-to-end tests of `talvex-host detect` on regular meshes, run by ctest in
# both builds: detect_e2e.sh OUT-DIR HOST-COMMAND... (in the win32 build
# HOST-COMMAND is the Wine runner and talvex-host.exe).
set -uo pipefail
out=$1
shift
host=("$@")
rm -rf "$out" && mkdir -p "$out"
source "$(dirname "$0")/e2e_lib.sh"

# A noisy quad-grid heightfield of N x N vertices, spacing 0.2, every
# coordinate moved by up to 0.01, even in x and (with ODD=1) given a term odd
# in y, so that x = 0 is its only mirror plane; turned 40 degrees about
# (1, 2, 3) and moved by (3, -2, 5). Its lattice maps onto itself through
# many planes that are no mirror planes (shifted by half spacings, or turned
# too little for a quarter-spacing match to see).
rotate='a = 40 * atan2(0, -1) / 180; l = sqrt(14); x = 1 / l; y = 2 / l; z = 3 / l; c = cos(a); s = sin(a); t = 1 - c
  r11 = t*x*x + c; r12 = t*x*y - s*z; r13 = t*x*z + s*y; r21 = t*x*y + s*z; r22 = t*y*y + c; r23 = t*y*z - s*x
  r31 = t*x*z - s*y; r32 = t*y*z + s*x; r33 = t*z*z + c'
grid() { # N ODD
  awk -v n="$1" -v odd="$2" 'BEGIN { '"$rotate"'
    srand(7); h = 0.2; half = 0.5 * (n - 1) * h; amp = 0.1 * half
    print "o grid"
    for (j = 0; j < n; j++) for (i = 0; i < n; i++) {
      px = (i - (n - 1) / 2) * h; py = (j - (n - 1) / 2) * h
      pz = amp * cos(3 * px / half) * (cos(2 * py / half) + odd * 0.3 * sin(py / half))
      px += 0.02 * rand() - 0.01; py += 0.02 * rand() - 0.01; pz += 0.02 * rand() - 0.01
      printf "v %.9g %.9g %.9g\n", r11*px + r12*py + r13*pz + 3, r21*px + r22*py + r23*pz - 2, r31*px + r32*py + r33*pz + 5 }
    for (j = 0; j + 1 < n; j++) for (i = 0; i + 1 < n; i++) { k = j * n + i + 1; print "f", k, k + 1, k + 1 + n, k + n } }'
}
# x = 0 turned and moved: n . p = n . (3, -2, 5) with n the rotation's first column.
truth=$(awk 'BEGIN { '"$rotate"'; printf "%.12g %.12g %.12g %.12g", r11, r21, r31, 3*r11 - 2*r21 + 5*r31 }')
for case in "101 0" "151 1" "201 1"; do
  read -r n odd <<<"$case"
  name=grid_${n}_$odd
  grid "$n" "$odd" >"$out/$name.obj"
  expect_status "$name" 0 detect "$out/$name.obj" --top 3
  # The first plane within 0.05 degrees and a quarter of the spacing of the
  # truth (a plane shifted onto the lattice is half a spacing off); where the
  # grid is even in y its plane y = 0 counts too.
  awk -v truth="$truth" -v odd="$odd" '/^  --plane / && !done { split($2, f, ","); split(truth, t, " "); done = 1
    c = f[1]*t[1] + f[2]*t[2] + f[3]*t[3]; d = f[4]; if (c < 0) { c = -c; d = -d }
    ok = c > cos(0.05 * atan2(0, -1) / 180) && (d - t[4])^2 < 0.05^2 }
    END { exit ok || !odd ? 0 : 1 }' "$out/$name.out" || fail "$name: not the plane x = 0 ($truth): $(head -c 600 "$out/$name.out")"
  grep -q '^  symmetry score: 100.0 %' "$out/$name.out" || fail "$name: the first plane is no mirror plane: $(head -c 600 "$out/$name.out")"
done

# --top: every rule it breaks named, an overflowing number called too large.
expect_status top_huge 2 detect "$out/grid_101_0.obj" --top 99999999999999999999
expect_text top_huge err "--top 99999999999999999999 is more than 20 (give a whole number from 1 to 20)"
expect_status top_negative 2 detect "$out/grid_101_0.obj" --top -99999999999999999999
expect_text top_negative err "--top -99999999999999999999 is less than 1"
expect_status top_zero 2 detect "$out/grid_101_0.obj" --top 0
expect_text top_zero err "--top 0 is less than 1"
expect_status top_word 2 detect "$out/grid_101_0.obj" --top 3x
expect_text top_word err "--top \"3x\" is not a whole number"

[ "$failures" -eq 0 ] && echo "detect_e2e: all passed"
exit $((failures > 0))
