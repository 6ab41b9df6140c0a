#!/usr/bin/env bash
# Builds the archive a modeller unpacks into the program's folder, from a
# win32 build's stripped Talvex.dll. Everything lands in
# Plugins/Startup Plugins; the settings file ships as a sample, so that an
# update never replaces the user's own Talvex.ini.
# Usage: packaging/make-zip.sh BUILD_DIR OUT_ZIP
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
mkdir -p "$(dirname "$out_zip")"
rm -f "$out_zip"
(cd "$stage" && zip -q -X -r "$out_zip" Plugins)
