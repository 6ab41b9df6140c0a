#!/usr/bin/env bash
# Builds the archive a modeller unpacks into the program's folder, from a
# win32 build's stripped Talvex.dll. The plug-in lands in
# Plugins/Startup Plugins; the settings file ships as a sample, so that an
# update never replaces the user's own Talvex.ini. The command line,
# talvex-host.exe with its own copy of the plug-in and a README, goes to
# Tools/Talvex, out of the folder the program scans for plug-ins.
# Usage: packaging/make-zip.sh BUILD_DIR OUT_ZIP [OBJCOPY]
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$1
out_zip=$(realpath -m "$2")

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
plugins="$stage/Plugins/Startup Plugins"
mkdir -p "$plugins"
cp "$build_dir/Talvex.dll" "$plugins/Talvex.dll"
cp "$source_dir/packaging/Talvex.ini" "$plugins/Talvex.ini.sample"
cp "$source_dir/packaging/INSTALL.txt" "$plugins/Talvex-INSTALL.txt"
tools="$stage/Tools/Talvex"
mkdir -p "$tools"
# Without its debug information, which names the build machine's folders.
"${3:-i686-w64-mingw32-objcopy}" --strip-debug --strip-unneeded \
  "$build_dir/talvex-host.exe" "$tools/talvex-host.exe"
cp "$build_dir/Talvex.dll" "$tools/Talvex.dll"
cp "$source_dir/packaging/README-talvex-host.txt" "$tools/README-talvex-host.txt"
mkdir -p "$(dirname "$out_zip")"
rm -f "$out_zip"
(cd "$stage" && zip -q -X -r "$out_zip" Plugins Tools)
