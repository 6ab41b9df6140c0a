#!/usr/bin/env bash
# The package as a modeller meets it: unzipped (overwriting whatever it
# finds, as most tools do when asked) into a program folder that already
# holds a tuned Talvex.ini, an older plug-in and the program's own files,
# nothing of the user's changes; the plug-in lands where the host loads it,
# stripped and without the build machine's folders in it. The command line
# lands in Tools/Talvex and, run from there under Wine, gives the same
# outputs as the native host, byte for byte.
# Usage: package_test.sh SOURCE_DIR BUILD_DIR WORK_DIR OBJDUMP OBJCOPY NATIVE_HOST
set -euo pipefail
source_dir=$1
build_dir=$2
work=$3
objdump=$4
objcopy=$5
native_host=$6

fail() { echo "package_test: $*" >&2; exit 1; }

rm -rf "$work" && mkdir -p "$work"
zip_file="$work/Talvex.zip"
"$source_dir/packaging/make-zip.sh" "$build_dir" "$zip_file" "$objcopy"

# Only Plugins/Startup Plugins and Tools/Talvex, never the program's own
# folder or a Talvex.ini.
listing=$(unzip -Z1 "$zip_file" | grep -v '/$')
expected=$'Plugins/Startup Plugins/Talvex-INSTALL.txt\nPlugins/Startup Plugins/Talvex.dll\nPlugins/Startup Plugins/Talvex.ini.sample'
expected+=$'\nTools/Talvex/README-talvex-host.txt\nTools/Talvex/Talvex.dll\nTools/Talvex/talvex-host.exe'
[ "$(sort <<<"$listing")" = "$expected" ] || fail "unexpected archive contents:"$'\n'"$listing"

program="$work/program"
plugins="$program/Plugins/Startup Plugins"
mkdir -p "$plugins"
printf '[CONFIG]\r\nTOLERANCE_A=0.35\r\nHUD_POS_X=120\r\n' >"$plugins/Talvex.ini"
printf 'the program'"'"'s own notes\n' >"$program/INSTALL.txt"
printf 'the program'"'"'s own readme\n' >"$program/README.txt"
printf 'another plug-in\n' >"$plugins/Other.dll"
printf 'an older Talvex\n' >"$plugins/Talvex.dll"
mkdir -p "$program/Tools/Other"
printf 'another tool\n' >"$program/Tools/Other/other.exe"
printf 'the tools'"'"' own readme\n' >"$program/Tools/README.txt"
before=$(cd "$program" && find . -type f ! -name Talvex.dll -print0 | sort -z | xargs -0 sha256sum)

(cd "$program" && unzip -q -o "$zip_file")

after=$(cd "$program" && find . -type f ! -name Talvex.dll ! -name Talvex.ini.sample \
  ! -name Talvex-INSTALL.txt ! -path ./Tools/Talvex/talvex-host.exe \
  ! -name README-talvex-host.txt -print0 | sort -z | xargs -0 sha256sum)
[ "$before" = "$after" ] || fail "the user's files changed:"$'\n'"$(diff <(echo "$before") <(echo "$after"))"
cmp -s "$plugins/Talvex.dll" "$build_dir/Talvex.dll" || fail "Talvex.dll is not the tested build's"
cmp -s "$plugins/Talvex.ini.sample" "$source_dir/packaging/Talvex.ini" || fail "the sample is not packaging/Talvex.ini"
grep -q "Create" "$plugins/Talvex-INSTALL.txt" || fail "no install text"

# What users install carries no debug information and no build folder.
if "$objdump" -h "$plugins/Talvex.dll" | grep -q '\.debug_'; then fail "Talvex.dll has debug sections"; fi
if LC_ALL=C grep -a -q -F "$source_dir" "$plugins/Talvex.dll"; then fail "Talvex.dll names $source_dir"; fi

# The command line as shipped: beside its own plug-in, out of the folder the
# program scans, stripped, and giving the native host's outputs exactly.
tools="$program/Tools/Talvex"
cmp -s "$tools/Talvex.dll" "$build_dir/Talvex.dll" || fail "Tools/Talvex/Talvex.dll is not the tested build's"
if "$objdump" -h "$tools/talvex-host.exe" | grep -q '\.debug_'; then fail "talvex-host.exe has debug sections"; fi
if LC_ALL=C grep -a -q -F "$source_dir" "$tools/talvex-host.exe"; then fail "talvex-host.exe names $source_dir"; fi
grep -q "talvex-host check" "$tools/README-talvex-host.txt" || fail "no README for the command line"
runs="$work/runs"
mkdir -p "$runs/native" "$runs/windows"
mesh="$source_dir/tests/data/meshes/suzanne_L1.obj"
for side in native windows; do
  cp "$mesh" "$runs/$side/head.obj"
  if [ $side = native ]; then host=("$native_host"); else host=("$source_dir/cmake/wine-run" "$tools/talvex-host.exe"); fi
  (cd "$runs/$side" &&
    "${host[@]}" check head.obj --plane x=0 --json check.json --csv check.csv --html check.html \
      >check.txt 2>check.err &&
    "${host[@]}" resym head.obj --plane x=0 --tolerance 0.05 -o resym.obj >resym.txt 2>resym.err) ||
    fail "the $side host failed in $runs/$side: $(cat "$runs/$side"/*.err)"
done
for file in check.json check.csv check.html resym.obj; do
  cmp -s "$runs/native/$file" "$runs/windows/$file" || fail "$file differs between the native and the packaged host"
done
echo "package_test: $(stat -c %s "$plugins/Talvex.dll") bytes, user's files untouched;" \
  "the packaged talvex-host.exe wrote check.json, check.csv, check.html and resym.obj as the native host did"
