#!/usr/bin/env bash
# End-to-end tests of check, detect and resym over several files and folders:
# many_files_e2e.sh SOURCE-DIR OUT-DIR HOST-COMMAND... Every file's result
# must be the one a run on that file alone gives; a file that cannot be read
# or that fails a --fail-* judgement is reported in its row and makes the
# exit status 1 without stopping the others.
set -uo pipefail
src=$1
out=$2
shift 2
host=("$@")
rm -rf "$out" && mkdir -p "$out"
source "$(dirname "$0")/e2e_lib.sh"
cd "$out" || exit 1

meshes=$src/tests/data/meshes
mkdir -p lib/sub lib/empty
cp "$meshes/suzanne_L0.obj" "$meshes/suzanne_L1.obj" "$meshes/teapot_assimp.obj" lib/
cp "$meshes/human_mirror.obj" lib/sub/deep.obj
printf 'v 1 2\n' >lib/broken.obj
printf 'not a mesh\n' >lib/notes.txt

# --- check: one row per file, in name order, and a summary ---------------------
expect_status check_folder 1 check lib --plane x=0
expect_line check_folder out "summary: 4 files: 3 ok, 0 failed, 1 could not be checked"
rows=$(sed -n '2,$p' "$out/check_folder.out" | cut -d' ' -f1 | head -4 | tr '\n' ' ')
[ "$rows" = "lib/broken.obj lib/suzanne_L0.obj lib/suzanne_L1.obj lib/teapot_assimp.obj " ] ||
  fail "check_folder: rows are \"$rows\""
expect_text check_folder out 'error: '
grep -F 'lib/broken.obj' "$out/check_folder.out" | grep -qF 'broken.obj:1: "v" needs 3 numbers, found 2' ||
  fail "check_folder: the broken file's row does not say why: $(cat "$out/check_folder.out")"
grep -q 'notes.txt\|deep.obj' "$out/check_folder.out" && fail "check_folder: took a file it should not"

# Each row is what the file alone gives.
for mesh in suzanne_L0 teapot_assimp; do
  expect_status "alone_$mesh" 0 check "lib/$mesh.obj" --plane x=0 --json "$out/alone_$mesh.json"
done
expect_status check_json 1 check lib --recursive --plane x=0 --json -
python3 - "$out" <<'PY' || fail "check_json: the document does not agree with the single runs"
import json, sys
out = sys.argv[1]
doc = json.load(open(out + "/check_json.out"))
assert doc["schema"] == "talvex-check-files/1", doc["schema"]
files = [f["file"] for f in doc["files"]]
assert files == ["lib/broken.obj", "lib/sub/deep.obj", "lib/suzanne_L0.obj", "lib/suzanne_L1.obj",
                 "lib/teapot_assimp.obj"], files
assert doc["summary"] == {"files": 5, "ok": 4, "failed": 0, "errors": 1}, doc["summary"]
by = {f["file"]: f for f in doc["files"]}
assert by["lib/broken.obj"]["verdict"] == "error" and by["lib/broken.obj"]["report"] is None
assert "needs 3 numbers" in by["lib/broken.obj"]["reasons"][0]
for mesh in ["suzanne_L0", "teapot_assimp"]:
    alone = json.load(open(out + "/alone_" + mesh + ".json"))
    report = by["lib/" + mesh + ".obj"]["report"]
    assert report["summary"] == alone["summary"], mesh
    assert report["pairs"] == alone["pairs"], mesh
PY

# --include picks by name; --fail-above and --fail-unpaired judge each file.
expect_status check_judged 0 check lib --include 'suzanne_L?.obj' --plane x=0 --fail-above 0.01
expect_line check_judged out "summary: 2 files: 2 ok, 0 failed, 0 could not be checked"
expect_status check_failing 1 check lib/suzanne_L1.obj lib/teapot_assimp.obj --plane x=0 --fail-above 0.01
expect_line check_failing out "summary: 2 files: 1 ok, 1 failed, 0 could not be checked"
grep -F 'lib/teapot_assimp.obj' "$out/check_failing.out" | grep -qF 'failed: the largest deviation' ||
  fail "check_failing: the teapot's row does not say it failed: $(cat "$out/check_failing.out")"
expect_status check_all_ok 0 check lib/suzanne_L1.obj lib/suzanne_L0.obj --plane x=0 --fail-above 0.01

# --jsonl: one line per file, each a whole JSON value; a missing file is a row too.
expect_status check_lines 1 check lib/suzanne_L0.obj missing.obj lib/empty --plane x=0 --jsonl lines.jsonl
python3 - "$out/lines.jsonl" <<'PY' || fail "check_lines: $(cat "$out/lines.jsonl")"
import json, sys
rows = [json.loads(line) for line in open(sys.argv[1])]
by = {r["file"]: r for r in rows}
assert sorted(by) == ["lib/empty", "lib/suzanne_L0.obj", "missing.obj"], sorted(by)
assert by["lib/suzanne_L0.obj"]["verdict"] == "ok"
assert "cannot open" in by["missing.obj"]["reasons"][0], by["missing.obj"]
assert "holds no mesh file" in by["lib/empty"]["reasons"][0], by["lib/empty"]
PY

# Usage: what only one file can take is refused before any work.
expect_status check_png 2 check lib --png x.png
expect_text check_png err "--png writes one file's result"
expect_status check_stdin 2 check - lib
expect_status resym_where 2 resym lib
# An option each file's process reads for itself refuses the whole list.
expect_status check_bad_option 2 check lib --min-deviation -1
expect_status resym_bad_option 2 resym edit_none lib --dry-run --precision fine
expect_text resym_bad_option out "--precision"
expect_text resym_where err "--in-place"

# --- detect: each file's report in order, and a summary ------------------------
expect_status detect_folder 1 detect lib
expect_line detect_folder out "summary: 4 files: 3 with a plane, 0 without a convincing plane, 1 could not be read"
expect_status detect_alone 0 detect lib/suzanne_L1.obj
sed '/^time: /d' "$out/detect_alone.out" >alone.txt
awk '/^mesh: lib\/suzanne_L1.obj$/,/^$/' "$out/detect_folder.out" | sed '/^time: /d;/^$/d' >listed.txt
cmp -s alone.txt listed.txt || fail "detect_folder: suzanne_L1's report differs from its own run"

# --- resym: in place, each file as a run on it alone writes it ----------------
mkdir -p edit
cp "$meshes/suzanne_L1.obj" "$meshes/teapot_assimp.obj" edit/
expect_status resym_alone_a 0 resym "$meshes/suzanne_L1.obj" -o alone_a.obj --plane x=0 --force
expect_status resym_alone_b 0 resym "$meshes/teapot_assimp.obj" -o alone_b.obj --plane x=0 --force
expect_status resym_folder 0 resym edit --in-place --plane x=0 --force
expect_line resym_folder out "summary: 2 files: 2 done, 0 could not be made symmetric"
cmp -s edit/suzanne_L1.obj alone_a.obj || fail "resym_folder: suzanne_L1 differs from its own run"
cmp -s edit/teapot_assimp.obj alone_b.obj || fail "resym_folder: the teapot differs from its own run"
expect_status resym_dry 0 resym edit --dry-run --plane x=0 --force

[ "$failures" -eq 0 ] && echo "many_files_e2e: all passed"
exit $((failures > 0))
