#!/usr/bin/env bash
# End-to-end tests of the talvex-host subcommands, run by ctest in both
# builds: cli_e2e.sh SOURCE-DIR OUT-DIR WRONG-VERSION-PLUGIN HOST-COMMAND...
# (in the win32 build HOST-COMMAND is the Wine runner and talvex-host.exe).
set -uo pipefail
src=$1 out=$2 wrong_plugin=$3 missing_export_plugin=$4
shift 4
host=("$@")
meshes=$src/tests/data/meshes
rm -rf "$out" && mkdir -p "$out"
source "$(dirname "$0")/e2e_lib.sh"

# --- usage -------------------------------------------------------------------
expect_status help 0 --help
expect_text help out "usage: talvex-host <command>"
for command in demo resym check detect run settings objects; do
  expect_status "help_$command" 0 "$command" --help
  expect_text "help_$command" out "usage: talvex-host $command"
done
# The shared preamble: an unknown option is bad usage, with the usage line.
for command in demo resym check detect run settings objects; do
  expect_status "bad_option_$command" 2 "$command" --frobnicate
  expect_text "bad_option_$command" err "talvex-host $command: unknown option --frobnicate"
  expect_text "bad_option_$command" err "usage: talvex-host $command"
done
expect_status unknown 2 frobnicate
expect_text unknown err 'unknown command "frobnicate"'
expect_status bad_option 2 resym "$meshes/asymmetric_pair.obj" --frobnicate
expect_text bad_option err "unknown option --frobnicate"
expect_status bad_plane 2 resym "$meshes/asymmetric_pair.obj" --plane w
expect_status bad_tolerance 2 check "$meshes/asymmetric_pair.obj" --plane x=0 --tolerance -0.5
expect_text bad_tolerance err "--tolerance -0.5: expected a positive number"
expect_status low_tolerance 0 check "$meshes/asymmetric_pair.obj" --plane x=0 --tolerance 0.01 --quiet

# --- plug-in loading ---------------------------------------------------------
expect_status missing_plugin 1 check "$meshes/asymmetric_pair.obj" --plugin "$out/no-such-plugin.dll"
expect_text missing_plugin err "cannot load plug-in"
expect_status wrong_version 1 check "$meshes/asymmetric_pair.obj" --plugin "$wrong_plugin"
expect_text wrong_version err "implements plug-in interface version 3, this host needs 4"
expect_status missing_export 1 check "$meshes/asymmetric_pair.obj" --plugin "$missing_export_plugin"
expect_text missing_export err "is not a plug-in: it does not export initializePlugin"

# --- check -------------------------------------------------------------------
cp "$meshes/asymmetric_pair.obj" "$out/pair.obj"
expect_status check_pair 0 check "$out/pair.obj" --plane x=0 --tolerance 0.5
expect_line check_pair out "plane: x = 0 (at x = 0.000000)"
expect_line check_pair out "pairs found: 1"
expect_line check_pair out "vertices Smart Resym would move: 2 (2 by more than 0.0001)"
expect_line check_pair out "largest deviation: 0.200000 (vertices 1 and 2)"
expect_line check_pair out "unpaired on the -x side: 0"
cmp -s "$out/pair.obj" "$meshes/asymmetric_pair.obj" || fail "check changed its input"
# With the tolerance 0.1 the two stay unpaired, one on each side.
expect_status check_unpaired 0 check "$out/pair.obj" --plane x=0 --tolerance 0.1
expect_line check_unpaired out "pairs found: 0"
expect_line check_unpaired out "unpaired on the -x side: 1 (2)"
expect_line check_unpaired out "unpaired on the +x side: 1 (1)"

expect_status check_suzanne 0 check "$meshes/suzanne_L0.obj" --plane x=0 --png "$out/suzanne.png" --up z
expect_line check_suzanne out "vertices: 507"
expect_line check_suzanne out "on the plane: 35"
# Vertices 114 and 115 repeat 15 and 16 exactly: 15 and 16 pair first, and
# the nearest candidate of each repeat is then taken.
expect_line check_suzanne out "pairs found: 235"
expect_line check_suzanne out "unpaired on the -x side: 1 (115)"
expect_line check_suzanne out "unpaired on the +x side: 1 (114)"
[ "$(head -c 8 "$out/suzanne.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "check --png wrote no PNG"

# The teapot is symmetric about y = 0 only nearly: some vertices stay unpaired.
expect_status check_teapot 0 check "$meshes/teapot_assimp.obj" --plane y=0 --quiet
expect_text check_teapot out "pairs found: "

# --- resym -------------------------------------------------------------------
expect_status resym_pair 0 resym "$out/pair.obj" -o "$out/pair_resym.obj" --plane x=0 --tolerance 0.5
expect_line resym_pair out "message: Talvex: Smart Resym - 2 vertices touched, 2 moved"
expect_line resym_pair out "pairs found: 1"
expect_line resym_pair out "vertices moved: 2 (2 by more than 0.0001)"
printf '# two vertices, 0.2 from mirror symmetry about x = 0\no Pair\nv 1.1 0 0\nv -1.1 0 0\nl 1 2\n' >"$out/pair_expected.obj"
cmp -s "$out/pair_resym.obj" "$out/pair_expected.obj" || fail "resym_pair: output differs: $(cat "$out/pair_resym.obj")"

# A locked vertex stays; its partner goes to its mirror image.
printf '# keep the +x vertex\n1\n' >"$out/lock.txt"
expect_status resym_lock 0 resym "$out/pair.obj" -o "$out/pair_locked.obj" --plane x=0 --tolerance 0.5 --lock "$out/lock.txt"
expect_line resym_lock out "message: Talvex: Smart Resym - 2 vertices touched, 1 moved"
printf '# two vertices, 0.2 from mirror symmetry about x = 0\no Pair\nv 1 0 0\nv -1.0 0 0\nl 1 2\n' >"$out/pair_locked_expected.obj"
cmp -s "$out/pair_locked.obj" "$out/pair_locked_expected.obj" || fail "resym_lock: output differs: $(cat "$out/pair_locked.obj")"
# --stats: the command's time and the scan's estimate.
expect_status resym_stats 0 resym "$out/pair.obj" -o "$out/pair_stats.obj" --plane x=0 --tolerance 0.5 --stats
expect_text resym_stats out "stats: Smart Resym took "
expect_text resym_stats out "stats: the plain scan would take about "
expect_text resym_stats out "stats: reading "
printf '3\n' >"$out/bad_lock.txt"
expect_status resym_bad_lock 1 resym "$out/pair.obj" -o "$out/unused.obj" --lock "$out/bad_lock.txt"
expect_text resym_bad_lock err "bad_lock.txt:1: vertex 3 does not exist"

# In place, quietly.
cp "$out/pair.obj" "$out/in_place.obj"
expect_status resym_in_place 0 resym "$out/in_place.obj" --in-place --plane x=0 --tolerance 0.5 --quiet
[ -s "$out/resym_in_place.out" ] && fail "resym --quiet printed: $(cat "$out/resym_in_place.out")"
cmp -s "$out/in_place.obj" "$out/pair_expected.obj" || fail "resym in place: wrong result"

# A real mesh: only 'v' lines change, and the result checks symmetric (to the
# float: the file's own six decimals would keep moves below their precision).
expect_status resym_human 0 resym "$meshes/human_mirror.obj" -o "$out/human.obj" --plane x=0 --object Cube --precision shortest
expect_line resym_human out "unpaired vertices: 0 on the -x side, 0 on the +x side (66 more lie on the plane)"
diff <(grep -v '^v ' "$meshes/human_mirror.obj") <(grep -v '^v ' "$out/human.obj") >/dev/null ||
  fail "resym_human changed lines other than vertices"
expect_status check_human 0 check "$out/human.obj" --plane x=0
expect_text check_human out "largest deviation: 0.000000"
expect_status resym_no_object 1 resym "$meshes/human_mirror.obj" -o "$out/unused.obj" --object Nobody
expect_text resym_no_object err 'no object called "Nobody"'

# A mesh mirrored exactly about an axis plane at 0 comes back byte for byte:
# the host's plane makes the plug-in's mirror exact (Suzanne as she is for x,
# with her coordinates swapped for y and z).
awk '$1 == "v" { print "v", $3, $2, $4; next } { print }' "$meshes/suzanne_L0.obj" >"$out/suzanne_y.obj"
awk '$1 == "v" { print "v", $4, $3, $2; next } { print }' "$meshes/suzanne_L0.obj" >"$out/suzanne_z.obj"
for case in "x $meshes/suzanne_L0.obj" "y $out/suzanne_y.obj" "z $out/suzanne_z.obj"; do
  set -- $case
  expect_status "resym_exact_$1" 0 resym "$2" -o "$out/exact_$1.obj" --plane "$1=0"
  expect_line "resym_exact_$1" out "vertices moved: 0 (0 by more than 0.0001)"
  cmp -s "$2" "$out/exact_$1.obj" || fail "resym_exact_$1: an exactly symmetric mesh came back changed"
done
# The plane found for her is x = 0 itself, so it is exact too.
expect_status resym_exact_auto 0 resym "$meshes/suzanne_L0.obj" -o "$out/exact_auto.obj" --plane auto
expect_line resym_exact_auto out "plane: auto, x = 0 (at x = 0.000000) (symmetry score 100.0 %)"
cmp -s "$meshes/suzanne_L0.obj" "$out/exact_auto.obj" || fail "resym_exact_auto: an exactly symmetric mesh came back changed"

# Two vertices on a line give Reposition no plane; an unwritable output fails.
expect_status resym_degenerate 1 resym "$out/pair.obj" -o "$out/unused.obj" --plane x
expect_text resym_degenerate err "the plane came out without area"
expect_status resym_unwritable 1 resym "$out/pair.obj" -o "$out/no/such/folder/out.obj" --plane x=0
expect_text resym_unwritable err "out.obj: cannot create out.obj.lock in "
expect_text resym_unwritable err "folder ("
[ -e "$out/unused.obj" ] && fail "a failed resym wrote its output"

# --- detect and --plane auto ----------------------------------------------------
# Suzanne turned 40 degrees about (1, 2, 3) and moved by (3, -2, 5): her plane
# x = 0 becomes n . p = n . t with n the first column of the rotation.
rotate='BEGIN { a = 40 * atan2(0, -1) / 180; l = sqrt(14); x = 1 / l; y = 2 / l; z = 3 / l; c = cos(a); s = sin(a); t = 1 - c
  r11 = t*x*x + c; r12 = t*x*y - s*z; r13 = t*x*z + s*y; r21 = t*x*y + s*z; r22 = t*y*y + c; r23 = t*y*z - s*x
  r31 = t*x*z - s*y; r32 = t*y*z + s*x; r33 = t*z*z + c }'
awk "$rotate"' $1 == "v" { printf "v %.9g %.9g %.9g\n", r11*$2 + r12*$3 + r13*$4 + 3, r21*$2 + r22*$3 + r23*$4 - 2, r31*$2 + r32*$3 + r33*$4 + 5; next } { print }' \
  "$meshes/suzanne_L1.obj" >"$out/turned.obj"
truth=$(awk "$rotate"' END { printf "%.12g %.12g %.12g %.12g", r11, r21, r31, 3*r11 - 2*r21 + 5*r31 }' </dev/null)
expect_status detect_turned 0 detect "$out/turned.obj"
# Within 0.05 degrees and 0.05 % of the box diagonal (3.64) of the truth.
awk -v truth="$truth" '/^  --plane / { split($2, f, ","); split(truth, t, " ")
  c = f[1]*t[1] + f[2]*t[2] + f[3]*t[3]; d = f[4]; if (c < 0) { c = -c; d = -d }
  ok = (c > cos(0.05 * atan2(0, -1) / 180) && (d - t[4])^2 < (0.0005 * 3.64)^2) }
  END { exit ok ? 0 : 1 }' "$out/detect_turned.out" || fail "detect_turned: not the true plane ($truth): $(cat "$out/detect_turned.out")"
# Turned and then made symmetric about the plane found, Suzanne checks exact
# to float rounding (a plane off the axes cannot mirror exactly in float).
expect_status resym_auto 0 resym "$out/turned.obj" -o "$out/turned_resym.obj" --plane auto
expect_text resym_auto out "plane: auto, "
expect_status check_auto 0 check "$out/turned_resym.obj" --plane auto
expect_line check_auto out "unpaired on the -x side: 0"
expect_line check_auto out "unpaired on the +x side: 0"
grep -Eq '^vertices Smart Resym would move: [0-9]+ \(0 by more than 0\.0001\)$' "$out/check_auto.out" &&
  grep -Eq '^largest deviation: 0\.00000[01] ' "$out/check_auto.out" ||
  fail "check_auto: the resymmetrised mesh is not exact: $(cat "$out/check_auto.out")"
# The same plane given by hand gives the same mesh.
plane=$(awk '/^  --plane / { print $2; exit }' "$out/detect_turned.out")
expect_status resym_given 0 resym "$out/turned.obj" -o "$out/turned_given.obj" --plane "$plane"
expect_line resym_given out "pairs found: 971"
expect_line resym_given out "unpaired vertices: 0 on the -x side, 0 on the +x side (70 more lie on the plane)"
# Twisted a quarter turn along her height and bent, she has no mirror plane:
# detect says so, and --plane auto refuses without writing.
awk '$1 == "v" { a = 0.8 * ($3 + 1); printf "v %.9g %.9g %.9g\n", cos(a)*$2 - sin(a)*$4 + 0.3*$3*$3, $3 + 0.2*$2*$4, sin(a)*$2 + cos(a)*$4; next } { print }' \
  "$meshes/suzanne_L1.obj" >"$out/twisted.obj"
expect_status detect_twisted 1 detect "$out/twisted.obj"
expect_text detect_twisted out "no convincing symmetry plane: the best candidate"
expect_status resym_twisted 1 resym "$out/twisted.obj" -o "$out/twisted_resym.obj" --plane auto
expect_text resym_twisted err "--plane auto: no convincing symmetry plane"
[ -e "$out/twisted_resym.obj" ] && fail "resym --plane auto wrote a mesh it found no plane for"

# --- files: every output goes through one safe writer -------------------------
# Targets that are not regular files, that the user may not write to, or that
# have other hard links are refused with nothing changed; links are followed;
# the mode is kept; no lock file is left behind.
wine=0
[[ "${host[0]}" == *wine-run ]] && wine=1
files=$out/files
mkdir -p "$files"
refused() { # NAME TEXT TARGET-TEST ARGS...: exit 1, TEXT on stderr, TEST still holds
  local name=$1 text=$2 check=$3
  shift 3
  expect_status "$name" 1 "$@"
  expect_text "$name" err "$text"
  eval "$check" || fail "$name: the target was changed ($check)"
  # Refused before any work: the plug-in never ran.
  grep -q '^message: ' "$out/$name.out" && fail "$name: refused only after the work"
  return 0
}
mkdir "$files/folder"
refused write_folder "is a folder, not a regular file" '[ -d "$files/folder" ]' \
  resym "$out/pair.obj" -o "$files/folder" --plane x=0
mkfifo "$files/fifo"
refused write_fifo "not a regular file" '[ -p "$files/fifo" ]' resym "$out/pair.obj" -o "$files/fifo" --plane x=0
refused png_fifo "not a regular file" '[ -p "$files/fifo" ]' check "$out/pair.obj" --plane x=0 --png "$files/fifo"
if [ "$(id -u)" -eq 0 ]; then
  mknod "$files/null" c 1 3
  refused write_device "not a regular file" '[ -c "$files/null" ]' resym "$out/pair.obj" -o "$files/null" --plane x=0
fi
if [ "$wine" -eq 0 ]; then
  # The mode is kept (Windows files have none).
  cp "$out/pair.obj" "$files/mode.obj" && chmod 0640 "$files/mode.obj"
  expect_status write_mode 0 resym "$files/mode.obj" --in-place --plane x=0 --tolerance 0.5 --quiet
  [ "$(stat -c %a "$files/mode.obj")" = 640 ] || fail "write_mode: mode became $(stat -c %a "$files/mode.obj")"
fi
# A lock file already there: another run may be writing.
cp "$out/pair.obj" "$files/locked.obj" && : >"$files/locked.obj.lock"
refused write_locked "locked.obj.lock exists: another run may be writing" \
  'cmp -s "$files/locked.obj" "$out/pair.obj" && [ -e "$files/locked.obj.lock" ]' \
  resym "$files/locked.obj" --in-place --plane x=0 --tolerance 0.5
rm "$files/locked.obj.lock"
# Through a symbolic link, in place: the file it points at is replaced.
cp "$out/pair.obj" "$files/real.obj"
ln -s real.obj "$files/link.obj"
expect_status write_symlink 0 resym "$files/link.obj" --in-place --plane x=0 --tolerance 0.5 --quiet
[ -L "$files/link.obj" ] || fail "write_symlink: the link was replaced by a file"
cmp -s "$files/real.obj" "$out/pair_expected.obj" || fail "write_symlink: the linked file was not written"
# A hard-linked file is refused: replacing it would split the names, and
# writing into it would change every name at once.
cp "$out/pair.obj" "$files/hard.obj" && ln "$files/hard.obj" "$files/hard2.obj"
refused write_hard_link "has 2 hard links" \
  '[ "$(stat -c %h "$files/hard.obj")" = 2 ] && cmp -s "$files/hard2.obj" "$out/pair.obj"' \
  resym "$files/hard.obj" --in-place --plane x=0 --tolerance 0.5
# A read-only file the user may not write to is refused, even where the folder
# would let a rename replace it. Root may write anything, so root runs this
# as nobody (under Wine the read-only attribute does the same).
cp "$out/pair.obj" "$files/readonly.obj" && chmod 0444 "$files/readonly.obj"
if [ "$wine" -eq 0 ] && [ "$(id -u)" -eq 0 ]; then
  chmod 0777 "$files"
  as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
  # Skipped where nobody cannot run the host (a build under /root, no setpriv).
  "${as_nobody[@]}" "${host[@]}" --help >/dev/null 2>&1 || as_nobody=()
else
  as_nobody=()
fi
if [ "$wine" -eq 1 ] || [ "$(id -u)" -ne 0 ] || [ ${#as_nobody[@]} -gt 0 ]; then
  "${as_nobody[@]}" "${host[@]}" resym "$files/readonly.obj" --in-place --plane x=0 --tolerance 0.5 \
    >"$out/write_readonly.out" 2>"$out/write_readonly.err"
  [ $? -eq 1 ] || fail "write_readonly: not refused: $(cat "$out/write_readonly.err")"
  expect_text write_readonly err "not writable"
  cmp -s "$files/readonly.obj" "$out/pair.obj" && [ "$(stat -c %a "$files/readonly.obj")" = 444 ] ||
    fail "write_readonly: the file was changed"
fi
[ -z "$(find "$files" -name '*.lock')" ] || fail "lock files left behind: $(find "$files" -name '*.lock')"

# Out of memory: a mesh too large is refused before work starts, with what it
# would need; a real allocation failure ends the command with a reason. Both
# leave the output as it was. Not in the sanitized build: AddressSanitizer
# reserves terabytes of address space for its shadow memory, which no
# ulimit -v leaves room for (its test preset sets ASAN_OPTIONS).
if [ "$wine" -eq 0 ] && [ -z "${ASAN_OPTIONS:-}" ]; then
  yes 'v 0 0 0' | head -n 10000000 >"$files/ten_million.obj"
  printf 'keep me\n' >"$files/target.obj"
  (ulimit -v 1048576 && "${host[@]}" resym "$files/ten_million.obj" -o "$files/target.obj" \
    >"$out/memory_estimate.out" 2>"$out/memory_estimate.err")
  [ $? -eq 1 ] || fail "memory_estimate: not refused"
  expect_text memory_estimate err "10000000 vertices need about"
  (ulimit -v 1048576 && TALVEX_HOST_NO_MEMORY_ESTIMATE=1 "${host[@]}" resym "$files/ten_million.obj" \
    -o "$files/target.obj" >"$out/memory_fails.out" 2>"$out/memory_fails.err")
  [ $? -eq 1 ] || fail "memory_fails: exit status not 1: $(head -c 300 "$out/memory_fails.err")"
  expect_text memory_fails err "talvex-host: out of memory"
  [ "$(cat "$files/target.obj")" = "keep me" ] || fail "memory: the output file was touched"
  rm -f "$files/ten_million.obj"
fi

# --- malformed input: refused with file and line, the output untouched --------
mkdir -p "$out/bad"
printf 'v 0 0 0\nv 1 0 0\nv 0 1 x\nf 1 2 3\n' >"$out/bad/number.obj"
printf 'v 0 0 0\nv 1 0 0\nf 1 2\n' >"$out/bad/short_face.obj"
printf 'v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 9\n' >"$out/bad/range.obj"
{ printf 'v 0 0 0\n# '; head -c 70000 /dev/zero | tr '\0' x; printf '\n'; } >"$out/bad/huge_line.obj"
{ printf 'v 0 0 0\n'; printf '\x00\x01\x02\xff\xfe\n'; } >"$out/bad/binary.obj"
declare -A wanted=(
  [number]='number.obj:3: bad number "x"'
  [short_face]='short_face.obj:3: "f" needs at least 3 vertices, found 2'
  [range]='range.obj:4: vertex index 9 is out of range (the file has 3)'
  [huge_line]='huge_line.obj:2: line too long (70002 bytes'
  [binary]='binary.obj:2: binary data (byte 0x00 at column 1)'
)
for bad in number short_face range huge_line binary; do
  printf 'keep me\n' >"$out/bad/target.obj"
  expect_status "bad_$bad" 1 resym "$out/bad/$bad.obj" -o "$out/bad/target.obj"
  expect_text "bad_$bad" err "${wanted[$bad]}"
  [ "$(cat "$out/bad/target.obj")" = "keep me" ] || fail "bad_$bad: the output file was touched"
  expect_status "bad_check_$bad" 1 check "$out/bad/$bad.obj"
done
leftovers=$(find "$out/bad" -name '*.lock' | wc -l)
[ "$leftovers" -eq 0 ] || fail "temporary files left behind"

# --- run ----------------------------------------------------------------------
printf 'command "Talvex Reposition"\nexpect error "Talvex not defined"\nexpect message "nothing"\n' >"$out/failing.tvx"
expect_status run_failing 1 run "$out/failing.tvx"
expect_text run_failing err 'failing.tvx:3: expected the message "nothing", but the plug-in showed nothing more'
# A plug-in error the script does not expect right after its statement fails
# the script at that statement, wherever the script notices it.
printf 'command "Talvex Reposition"\n# the plane was never created\necho next\n' >"$out/unexpected.tvx"
expect_status run_unexpected 1 run "$out/unexpected.tvx"
expect_text run_unexpected err 'unexpected.tvx:1: the plug-in showed the error "Talvex not defined"'
printf 'echo first\ncommand "Talvex Smart Resym"\n' >"$out/unexpected_last.tvx"
expect_status run_unexpected_last 1 run "$out/unexpected_last.tvx"
expect_text run_unexpected_last err 'unexpected_last.tvx:2: the plug-in showed the error "Talvex not defined"'
# A command index outside the plug-in's table is a mistake in the script.
printf 'execute 8\nexpect error "Talvex not defined"\nexecute 9\n' >"$out/execute.tvx"
expect_status run_execute 1 run "$out/execute.tvx"
expect_text run_execute err 'execute.tvx:3: there is no command 9: the plug-in has 9, numbered from 0 to 8'
printf 'frobnicate\n' >"$out/unknown.tvx"
expect_status run_unknown 1 run "$out/unknown.tvx"
expect_text run_unknown err 'unknown.tvx:1: unknown statement "frobnicate"'

# --- demo ---------------------------------------------------------------------
expect_status demo 0 demo --out "$out/demo"
expect_line demo out "message: Talvex created based on selected object"
expect_line demo out "message: Talvex repositioned : X Axis Perpendicular"
expect_text demo out "message: Talvex: Smart Resym - "
[ -s "$out/demo/demo.obj" ] && [ -s "$out/demo/demo.png" ] || fail "demo wrote no demo.obj or demo.png"
expect_text demo out "  symmetry plane found: auto, "
[ -s "$out/demo/demo_turned.obj" ] || fail "demo wrote no demo_turned.obj"
expect_status demo_check 0 check "$out/demo/demo.obj"
expect_line demo_check out "unpaired on the -x side: 0"

# --- settings -----------------------------------------------------------------
mkdir -p "$out/settings/Plugins/Startup Plugins"
printf '[CONFIG]\r\nTOLERANCE_A=0.3\r\nHUD_POS_X=0\r\n' >"$out/settings/Plugins/Startup Plugins/Talvex.ini"
expect_status settings 0 settings --dir "$out/settings"
grep -Eq 'TOLERANCE_A +"0\.3" +0\.3 +taken' "$out/settings.out" || fail "settings: TOLERANCE_A not reported taken: $(cat "$out/settings.out")"
grep -Eq 'HUD_POS_X +"0" +450 +default' "$out/settings.out" || fail "settings: HUD_POS_X not reported defaulted"
expect_status settings_missing 1 settings --dir "$out/no-such-folder"
expect_text settings_missing err "is not a folder"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed; outputs in $out"
  exit 1
fi
echo "all talvex-host command-line checks passed"
