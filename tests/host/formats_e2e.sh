#!/usr/bin/env bash
# End-to-end checks of PLY, STL and glTF through the subcommands, on files
# Blender's exporters wrote (tests/data/meshes/formats): each kind is listed,
# its plane detected, an exactly mirrored mesh comes back byte for byte, a
# resym about another plane writes the same format and checks clean, and
# hostile files are refused with where and why. Run by ctest:
# formats_e2e.sh SOURCE-DIR OUT-DIR HOST-COMMAND...
set -uo pipefail
src=$1 out=$2
shift 2
host=("$@")
rm -rf "$out" && mkdir -p "$out/same" "$out/moved"
source "$(dirname "$0")/e2e_lib.sh"
meshes=$src/tests/data/meshes/formats

# largest NAME LIMIT: check's largest pair deviation is below LIMIT
largest() {
  local value
  value=$(sed -n 's/^largest deviation: \([0-9.]*\).*/\1/p' "$out/$1.out")
  [ -n "$value" ] || { fail "$1: no largest deviation in: $(head -c 600 "$out/$1.out")"; return; }
  awk -v v="$value" -v l="$2" 'BEGIN { exit !(v < l) }' || fail "$1: largest deviation $value, not below $2"
}

# Welding: STL corners and glTF's copies split by normals are one vertex, so
# Suzanne's two pairs of coincident vertices are one each there.
for kind in bin.ply:507 ascii.ply:507 bin.stl:505 ascii.stl:505 .glb:505 sep.gltf:505; do
  file=suzanne_L0_${kind%%:*}
  file=${file/_.glb/.glb}
  count=${kind##*:}
  name=${file//./_}
  expect_status "objects_$name" 0 objects "$meshes/$file"
  expect_line "objects_$name" out "1 object, $count vertices"
  expect_status "detect_$name" 0 detect "$meshes/$file"
  expect_line "detect_$name" out "plane 1: 1.000000 x + 0.000000 y + 0.000000 z = 0.000000"
  # Exactly mirrored about x = 0: nothing moves, nothing changes.
  expect_status "same_$name" 0 resym "$meshes/$file" --plane x=0 -o "$out/same/$file"
  cmp -s "$meshes/$file" "$out/same/$file" || fail "same_$name: resym of a mirrored mesh changed it"
  # About x = 0.001 nearly every pair moves; the output is the same format,
  # a binary one the same size, and it checks clean about that plane.
  expect_status "moved_$name" 0 resym "$meshes/$file" --plane x=0.001 -o "$out/moved/$file"
  cmp -s "$meshes/$file" "$out/moved/$file" && fail "moved_$name: nothing was written"
  expect_status "check_$name" 0 check "$out/moved/$file" --plane x=0.001
  largest "check_$name" 0.00001
  expect_status "objects_moved_$name" 0 objects "$out/moved/$file"
  expect_line "objects_moved_$name" out "1 object, $count vertices"
  case $file in
    *bin.ply | *bin.stl | *.glb)
      [ "$(wc -c <"$meshes/$file")" -eq "$(wc -c <"$out/moved/$file")" ] ||
        fail "moved_$name: a binary file changed size" ;;
  esac
done
# The separate buffer goes beside the output, under the output's name.
cmp -s "$meshes/suzanne_L0_sep.bin" "$out/same/suzanne_L0_sep.bin" || fail "same_sep: the buffer was not copied"
cmp -s "$meshes/suzanne_L0_sep.bin" "$out/moved/suzanne_L0_sep.bin" && fail "moved_sep: the buffer did not change"
expect_status renamed 0 resym "$meshes/suzanne_L0_sep.gltf" --plane x=0 -o "$out/renamed.gltf"
grep -q '"uri" : "renamed.bin"' "$out/renamed.gltf" || fail "renamed: the buffer's URI does not follow the output's name"
cmp -s "$meshes/suzanne_L0_sep.bin" "$out/renamed.bin" || fail "renamed: the buffer was not copied"

# A node transform: the mesh is 3 units along x in the scene, so its plane is
# x = 3; resym about it changes nothing in the file.
mkdir -p "$out/placed"
cp "$meshes/suzanne_L0_sep.bin" "$out/placed/"
sed '0,/"mesh" : 0,/s//"mesh" : 0, "translation" : [3, 0, 0],/' "$meshes/suzanne_L0_sep.gltf" >"$out/placed/placed.gltf"
expect_status placed_detect 0 detect "$out/placed/placed.gltf"
expect_line placed_detect out "plane 1: 1.000000 x + 0.000000 y + 0.000000 z = 3.000000"
expect_status placed_resym 0 resym "$out/placed/placed.gltf" --plane x=3 -o "$out/placed_out.gltf"
sed 's/placed_out.bin/suzanne_L0_sep.bin/' "$out/placed_out.gltf" | cmp -s "$out/placed/placed.gltf" - ||
  fail "placed_resym: the file changed"
cmp -s "$out/placed/suzanne_L0_sep.bin" "$out/placed_out.bin" || fail "placed_resym: the buffer changed"

# --- hostile files: FILE: offset N: reason (or FILE:LINE:), exit 1 -------------
refused() { # NAME FILE TEXT
  expect_status "$1" 1 check "$2" --plane x=0
  expect_text "$1" err "$3"
}
sed '0,/element vertex 507/s//element vertex 5070/' "$meshes/suzanne_L0_bin.ply" >"$out/lying.ply"
refused lying_ply "$out/lying.ply" "lying.ply: offset 20800: the header promises 5070 vertex elements of 24 bytes, but the file ends after 855"
head -c 12000 "$meshes/suzanne_L0_bin.ply" >"$out/cut.ply"
refused cut_ply "$out/cut.ply" "cut.ply: offset 11991: the header promises 507 vertex elements of 24 bytes, but the file ends after 488"
head -c 30 "$meshes/suzanne_L0_ascii.ply" >"$out/cut_ascii.ply"
refused cut_ascii_ply "$out/cut_ascii.ply" "cut_ascii.ply:3: the header has no end_header line"
head -c 20000 "$meshes/suzanne_L0_bin.stl" >"$out/cut.stl"
refused cut_stl "$out/cut.stl" "cut.stl: offset 80: the header promises 968 facets (48484 bytes), but the file has 20000 bytes"
head -c 20000 "$meshes/suzanne_L0.glb" >"$out/cut.glb"
refused cut_glb "$out/cut.glb" "cut.glb: offset 8: the header promises 53848 bytes, but the file has 20000"
cp "$meshes/suzanne_L0_sep.bin" "$out/"
sed '0,/"count" : 1966/s//"count" : 19660/' "$meshes/suzanne_L0_sep.gltf" >"$out/far.gltf"
refused far_gltf "$out/far.gltf" "accessor 0's 19660 positions reach past the end of its buffer view"
sed 's|"uri" : "|"uri" : "../|' "$meshes/suzanne_L0_sep.gltf" >"$out/outside.gltf"
refused outside_gltf "$out/outside.gltf" "buffer 0's URI \"../suzanne_L0_sep.bin\" points outside the file's folder, which is refused"
# The extension chooses, the content must agree.
cp "$meshes/suzanne_L0_ascii.stl" "$out/stl_content.ply"
refused mismatch "$out/stl_content.ply" "stl_content.ply: has no PLY header"
cp "$meshes/suzanne_L0_ascii.ply" "$out/ply_content.stl"
refused mismatch_stl "$out/ply_content.stl" "ply_content.stl: is text, but ASCII STL starts with \"solid\""

# The folder at once: every kind is listed by its extension, the buffer not.
expect_status folder 0 check "$meshes" --plane x=0
expect_line folder out "summary: 6 files: 6 ok, 0 failed, 0 could not be checked"

[ "$failures" -eq 0 ] || exit 1
echo "formats: all checks passed"
