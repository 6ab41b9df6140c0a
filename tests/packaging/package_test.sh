#!/usr/bin/env bash
# The package as a modeller meets it: unzipped (overwriting whatever it
# finds, as most tools do when asked) into a program folder that already
# holds a tuned Talvex.ini, an older plug-in and the program's own files,
# nothing of the user's changes; the plug-in lands where the host loads it,
# stripped and without the build machine's folders in it.
# Usage: package_test.sh SOURCE_DIR BUILD_DIR WORK_DIR OBJDUMP
set -euo pipefail
source_dir=$1
build_dir=$2
work=$3
objdump=$4

fail() { echo "package_test: $*" >&2; exit 1; }

rm -rf "$work" && mkdir -p "$work"
zip_file="$work/Talvex.zip"
"$source_dir/packaging/make-zip.sh" "$build_dir" "$zip_file"

# Only Plugins/Startup Plugins, never the program's own folder or a Talvex.ini.
listing=$(unzip -Z1 "$zip_file" | grep -v '/$')
expected=$'Plugins/Startup Plugins/Talvex-INSTALL.txt\nPlugins/Startup Plugins/Talvex.dll\nPlugins/Startup Plugins/Talvex.ini.sample'
[ "$(sort <<<"$listing")" = "$expected" ] || fail "unexpected archive contents:"$'\n'"$listing"

program="$work/program"
plugins="$program/Plugins/Startup Plugins"
mkdir -p "$plugins"
printf '[CONFIG]\r\nTOLERANCE_A=0.35\r\nHUD_POS_X=120\r\n' >"$plugins/Talvex.ini"
printf 'the program'"'"'s own notes\n' >"$program/INSTALL.txt"
printf 'the program'"'"'s own readme\n' >"$program/README.txt"
printf 'another plug-in\n' >"$plugins/Other.dll"
printf 'an older Talvex\n' >"$plugins/Talvex.dll"
before=$(cd "$program" && find . -type f ! -name Talvex.dll -print0 | sort -z | xargs -0 sha256sum)

(cd "$program" && unzip -q -o "$zip_file")

after=$(cd "$program" && find . -type f ! -name Talvex.dll ! -name Talvex.ini.sample \
  ! -name Talvex-INSTALL.txt -print0 | sort -z | xargs -0 sha256sum)
[ "$before" = "$after" ] || fail "the user's files changed:"$'\n'"$(diff <(echo "$before") <(echo "$after"))"
cmp -s "$plugins/Talvex.dll" "$build_dir/Talvex.dll" || fail "Talvex.dll is not the tested build's"
cmp -s "$plugins/Talvex.ini.sample" "$source_dir/packaging/Talvex.ini" || fail "the sample is not packaging/Talvex.ini"
grep -q "Create" "$plugins/Talvex-INSTALL.txt" || fail "no install text"

# What users install carries no debug information and no build folder.
if "$objdump" -h "$plugins/Talvex.dll" | grep -q '\.debug_'; then fail "Talvex.dll has debug sections"; fi
if LC_ALL=C grep -a -q -F "$source_dir" "$plugins/Talvex.dll"; then fail "Talvex.dll names $source_dir"; fi
echo "package_test: $(stat -c %s "$plugins/Talvex.dll") bytes, user's files untouched"
