#!/usr/bin/env bash
# Runs the same work with the native host and the Windows host (under Wine)
# and requires byte-identical mesh files and reports. Run by ctest in the
# win32 build: compare_builds.sh SOURCE-DIR OUT-DIR NATIVE-HOST WINDOWS-HOST-COMMAND...
set -uo pipefail
src=$1 out=$2 native=$3
shift 3
windows=("$@")
if [ ! -x "$native" ]; then
  echo "FAIL: $native is missing: build the native host first (make check builds both)"
  exit 1
fi
rm -rf "$out" && mkdir -p "$out/native" "$out/windows"
meshes=$src/tests/data/meshes
failures=0

both() { # NAME ARGS...: runs both hosts; {OUT} in ARGS is each one's folder
  local name=$1
  shift
  local side
  for side in native windows; do
    local args=("${@//\{OUT\}/$out/$side}")
    if [ "$side" = native ]; then
      "$native" "${args[@]}" >"$out/$side/$name.out" 2>"$out/$side/$name.err"
    else
      "${windows[@]}" "${args[@]}" >"$out/$side/$name.out" 2>"$out/$side/$name.err"
    fi
    echo "exit $?" >>"$out/$side/$name.out"
    sed -i 's/\r$//' "$out/$side/$name.out"
    # Paths differ between the two runs; the rest of the report must not.
    sed -i 's|\\|/|g' "$out/$side/$name.out"
    sed -i "s|[A-Z]:$out/$side|{OUT}|g; s|$out/$side|{OUT}|g; s|; plug-in .*||" "$out/$side/$name.out"
    # How long detection and symmetrize took may differ.
    sed -i '/^time: [0-9.]* s$/d; s/^\(wrote .*\) in [0-9.]* s$/\1/' "$out/$side/$name.out"
  done
  cmp -s "$out/native/$name.out" "$out/windows/$name.out" ||
    { echo "FAIL: $name: reports differ"; diff "$out/native/$name.out" "$out/windows/$name.out" | head -20; failures=$((failures + 1)); }
}

both edits run "$src/tests/host/cross/edits.tvx" --out "{OUT}"
both resym_teapot resym "$meshes/teapot_assimp.obj" -o "{OUT}/teapot_resym.obj" --plane y=0 --tolerance 2
both resym_suzanne resym "$meshes/suzanne_L1.obj" -o "{OUT}/suzanne_resym.obj" --plane x
both check_human check "$meshes/human_mirror.obj" --plane x=0.01
both check_report check "$meshes/suzanne_L1.obj" --plane x=0 --verbose --json "{OUT}/check.json" --csv "{OUT}/check.csv"
both demo demo --out "{OUT}"
both detect_teapot detect "$meshes/teapot_assimp.obj" --top 3
both resym_auto resym "$meshes/suzanne_L1.obj" -o "{OUT}/suzanne_auto.obj" --plane auto
both resym_tilted resym "$meshes/teapot_assimp.obj" -o "{OUT}/teapot_tilted.obj" --plane 0.1,1,0.05,0.5 --tolerance 2 --force
# PLY, STL and glTF written after moves, and a glTF whose node turns the mesh
# (its transform applied and undone in double arithmetic in both builds).
formats=$src/tests/data/meshes/formats
for kind in bin.ply ascii.ply bin.stl ascii.stl sep.gltf .glb; do
  file=suzanne_L0_$kind
  file=${file/_.glb/.glb}
  both "resym_$kind" resym "$formats/$file" -o "{OUT}/$file" --plane x=0.001
done
mkdir -p "$out/turned"
cp "$formats/suzanne_L0_sep.bin" "$out/turned/"
sed '0,/"mesh" : 0,/s//"mesh" : 0, "rotation" : [0.1, 0.2, 0.3, 0.927], "translation" : [1, 2, 3],/' \
  "$formats/suzanne_L0_sep.gltf" >"$out/turned/turned.gltf"
both resym_turned resym "$out/turned/turned.gltf" -o "{OUT}/turned.gltf" --plane auto
# symmetrize rebuilding PLY and STL with faces cut, about an axis plane and
# a tilted one.
for kind in bin.ply ascii.ply bin.stl ascii.stl; do
  both "sym_$kind" symmetrize "$formats/suzanne_L0_$kind" -o "{OUT}/sym_$kind" --plane x=0.1 --keep -x
done
both sym_tilted symmetrize "$formats/suzanne_L0_bin.stl" -o "{OUT}/sym_tilted.stl" --plane 1,0.1,0.05,0.02 --keep +


for file in suzanne_L0_bin.ply suzanne_L0_ascii.ply suzanne_L0_bin.stl suzanne_L0_ascii.stl \
    suzanne_L0_sep.gltf suzanne_L0_sep.bin suzanne_L0.glb turned.gltf turned.bin \
    sym_bin.ply sym_ascii.ply sym_bin.stl sym_ascii.stl sym_tilted.stl \
    suzanne_L1.obj teapot.obj teapot_resym.obj suzanne_resym.obj demo.obj demo_turned.obj suzanne_auto.obj teapot_tilted.obj check.json check.csv; do
  if [ ! -s "$out/native/$file" ]; then
    echo "FAIL: $file was not written"
    failures=$((failures + 1))
  elif ! cmp "$out/native/$file" "$out/windows/$file"; then
    echo "FAIL: $file differs between the native and the Windows build"
    failures=$((failures + 1))
  fi
done
[ "$failures" -eq 0 ] || exit 1
echo "native and Windows outputs are byte-identical"
