#!/usr/bin/env bash
# Fault injection for talvex-host's files, run by ctest in both builds:
# faults_e2e.sh SOURCE-DIR OUT-DIR HOST-COMMAND...
# Signals during a large write, a file-size limit, an input cut short while it
# is read or written, a folder made read-only before the rename, outputs that
# name inputs, endless inputs, the host run through a link or PATH, standard
# input. The races are made exact with the host's TALVEX_TEST_PAUSE hook
# (host_files.h): the host stops itself at a named point, the test acts, then
# resumes it. Cases that need POSIX signals, ulimit or links to the host run
# only in the native build.
set -uo pipefail
src=$1 out=$2
shift 2
host=("$@")
[ -f "${host[0]}" ] && host[0]=$(cd "$(dirname "${host[0]}")" && pwd)/$(basename "${host[0]}")
meshes=$src/tests/data/meshes
rm -rf "$out" && mkdir -p "$out"
out=$(cd "$out" && pwd)
wine=0
[[ "${host[0]}" == *wine-run ]] && wine=1
# Background jobs of a script without job control ignore SIGINT and SIGQUIT,
# and the host keeps a signal its caller ignored; with job control they do not.
set -m
ulimit -c 0

E2E_TIMEOUT=120
source "$(dirname "$0")/e2e_lib.sh"
no_lock() { # NAME FOLDER
  local left
  left=$(find "$2" -name '*.lock')
  [ -z "$left" ] || fail "$1: lock file left behind: $left"
}
kept() { # NAME FILE ORIGINAL: FILE is still ORIGINAL, byte for byte
  cmp -s "$2" "$3" || fail "$1: $2 was changed"
}

# A 5 MB mesh, mirrored about x = 0 but for 0.003 on the +x side, so every
# vertex pairs and half of them move: its output passes several blocks.
awk 'BEGIN { n = 300
  for (j = 0; j < n; j++) for (i = 0; i < n; i++) {
    k = 2 * i - (n - 1); a = k < 0 ? -k : k
    printf "v %.6f %.6f %.6f\n", k / 20 + (k > 0 ? 0.003 : 0), j / 10, 0.01 * ((a * 7 + j * 13) % 5) }
  for (j = 0; j < n - 1; j++) for (i = 0; i < n - 1; i++) {
    a = j * n + i + 1; printf "f %d %d %d %d\n", a, a + 1, a + n + 1, a + n } }' >"$out/big.obj"
printf 'keep me\n' >"$out/keep.obj"
resym_args=(--plane x=0 --tolerance 0.02 --quiet)

# --- outputs never replace inputs -----------------------------------------------
files=$out/files
mkdir -p "$files"
cp "$meshes/asymmetric_pair.obj" "$files/a.obj"
ln -s a.obj "$files/link.obj"
printf '1\n' >"$files/lock.txt"
over_input() { # NAME ARGS...: refused with exit 1 and nothing changed
  local name=$1
  shift
  expect_status "$name" 1 "$@"
  expect_text "$name" err "an output never replaces an input"
  kept "$name" "$files/a.obj" "$meshes/asymmetric_pair.obj"
  grep -q '^message: ' "$out/$name.out" && fail "$name: refused only after the work"
  return 0
}
over_input json_over_input check "$files/a.obj" --plane x=0 --json "$files/a.obj"
over_input csv_over_input check "$files/a.obj" --plane x=0 --csv "$files/link.obj"
over_input png_over_input check "$files/link.obj" --plane x=0 --png "$files/a.obj"
over_input resym_over_link resym "$files/a.obj" -o "$files/link.obj" --plane x=0
over_input resym_over_lock_file resym "$files/a.obj" --lock "$files/lock.txt" -o "$files/lock.txt" --plane x=0
grep -qx 1 "$files/lock.txt" || fail "resym_over_lock_file: the lock file was changed"
expect_status detect_over_input 1 detect "$files/a.obj" --json "$files/link.obj"
kept detect_over_input "$files/a.obj" "$meshes/asymmetric_pair.obj"
no_lock outputs_over_inputs "$files"

# --- inputs read whole are regular files --------------------------------------
if [ "$wine" -eq 0 ]; then
  mkfifo "$files/fifo"
  expect_status lock_file_zero 1 resym "$files/a.obj" --lock /dev/zero -o "$files/out.obj" --plane x=0
  expect_text lock_file_zero err "/dev/zero: is a character device, not a file"
  expect_status lock_file_fifo 1 resym "$files/a.obj" --lock "$files/fifo" -o "$files/out.obj" --plane x=0
  expect_text lock_file_fifo err "is a named pipe (FIFO), not a file"
  expect_status script_zero 1 run /dev/zero
  expect_text script_zero err "/dev/zero: is a character device, not a file"
  expect_status script_fifo 1 run "$files/fifo"
  expect_status mesh_zero 1 check /dev/zero
  [ -e "$files/out.obj" ] && fail "special inputs: an output was written"
  # The plug-in reads its settings to the end: an endless settings file is
  # refused before it is handed one.
  mkdir -p "$files/zero_ini/Plugins/Startup Plugins"
  ln -s /dev/zero "$files/zero_ini/Plugins/Startup Plugins/Talvex.ini"
  # The memory limit bounds a host that would read it (not under
  # AddressSanitizer, whose shadow memory no limit leaves room for).
  (cd "$files/zero_ini" && { [ -n "${ASAN_OPTIONS:-}" ] || ulimit -v 4000000; }
    timeout 60 "${host[@]}" check "$files/a.obj" --plane x=0 >"$out/settings_zero.out" 2>"$out/settings_zero.err")
  [ $? -eq 1 ] || fail "settings_zero: not refused: $(head -c 300 "$out/settings_zero.err")"
  expect_text settings_zero err "Talvex.ini: is a device, not a file"
  expect_status settings_report_zero 1 settings --dir "$files/zero_ini"
fi

# --- standard input -------------------------------------------------------------
run stdin_objects objects - <"$meshes/asymmetric_pair.obj" || fail "stdin_objects: failed"
expect_text stdin_objects out '"Pair": 2 vertices'
run stdin_resym resym - -o "$files/from_stdin.obj" --plane x=0 --tolerance 0.5 --quiet \
  <"$meshes/asymmetric_pair.obj" || fail "stdin_resym: failed: $(cat "$out/stdin_resym.err")"
run file_resym resym "$meshes/asymmetric_pair.obj" -o "$files/from_file.obj" --plane x=0 --tolerance 0.5 --quiet
cmp -s "$files/from_stdin.obj" "$files/from_file.obj" || fail "stdin_resym: differs from the same mesh read from its file"
expect_status stdin_in_place 2 resym - --plane x=0 <"$meshes/asymmetric_pair.obj"
# The JSON on standard output is the JSON written to a file, byte for byte
# (no CR before LF on Windows).
"${host[@]}" check - --plane x=0 --json - <"$meshes/asymmetric_pair.obj" >"$files/stdout.json" 2>/dev/null
run json_file check - --plane x=0 --json "$files/file.json" <"$meshes/asymmetric_pair.obj"
cmp -s "$files/stdout.json" "$files/file.json" || fail "json_stdout: standard output differs from the file"

# --- command line ---------------------------------------------------------------
expect_status version 0 --version
expect_text version out "talvex-host "
expect_text version out "interface version 4"
expect_status misspelled 2 resim x.obj
expect_text misspelled err 'unknown command "resim"; did you mean resym?'

if [ "$wine" -eq 1 ]; then
  [ "$failures" -eq 0 ] && echo "all fault checks passed (the POSIX-only ones skipped)"
  exit $((failures > 0))
fi

# --- the plug-in beside the real executable -------------------------------------
real_host=$(readlink -f "${host[0]}")
mkdir -p "$out/bin" "$out/elsewhere"
ln -sf "$real_host" "$out/bin/talvex-host"
(cd "$out/elsewhere" && "$out/bin/talvex-host" check "$files/a.obj" --plane x=0 --quiet \
  >"$out/through_link.out" 2>"$out/through_link.err") ||
  fail "through_link: $(head -c 300 "$out/through_link.err")"
(cd "$out/elsewhere" && PATH="$out/bin:$PATH" talvex-host check "$files/a.obj" --plane x=0 --quiet \
  >"$out/through_path.out" 2>"$out/through_path.err") ||
  fail "through_path: $(head -c 300 "$out/through_path.err")"

# A report that cannot reach standard output is a failure.
"${host[@]}" check "$files/a.obj" --plane x=0 --json - >/dev/full 2>"$out/stdout_full.err"
[ $? -eq 1 ] || fail "stdout_full: not a failure"
grep -qF "cannot write standard output" "$out/stdout_full.err" || fail "stdout_full: no message"

# --- signals and limits during a large write -------------------------------------
pid=0
prefix=()
start_paused() { # NAME POINT ARGS...: runs the host until it stops itself at POINT
  local name=$1 point=$2 state
  shift 2
  TALVEX_TEST_PAUSE=$point "${prefix[@]}" "${host[@]}" "$@" >"$out/$name.out" 2>"$out/$name.err" &
  pid=$!
  for _ in $(seq 400); do
    state=$(awk '{ print $3 }' "/proc/$pid/stat" 2>/dev/null) || state=gone
    [ "$state" = T ] && return 0
    [ "$state" = gone ] || [ "$state" = Z ] && break
    sleep 0.05
  done
  fail "$name: never stopped at $point: $(head -c 300 "$out/$name.err")"
  kill -KILL "$pid" 2>/dev/null
  kill -CONT "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  return 1
}
resume() { # NAME: lets it go on; sets $status
  kill -CONT "$pid"
  # With job control, wait also returns when the job is seen stopped (147).
  while :; do
    wait "$pid"
    status=$?
    [ "$status" -ne 147 ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.02
  done
}

work=$out/work
mkdir -p "$work"
for signal in INT TERM HUP QUIT PIPE; do
  cp "$out/keep.obj" "$work/target.obj"
  name=signal_$signal
  start_paused "$name" writing:target.obj resym "$out/big.obj" -o "$work/target.obj" "${resym_args[@]}" || continue
  [ -e "$work/target.obj.lock" ] || fail "$name: no lock file while writing"
  kill -"$signal" "$pid"
  resume "$name"
  number=$(kill -l "$signal")
  [ "$status" -eq $((128 + number)) ] || fail "$name: exit status $status, expected $((128 + number))"
  no_lock "$name" "$work"
  kept "$name" "$work/target.obj" "$out/keep.obj"
done

# A file-size limit: the write fails with its reason instead of SIGXFSZ.
cp "$out/keep.obj" "$work/target.obj"
(ulimit -f 1024 && "${host[@]}" resym "$out/big.obj" -o "$work/target.obj" "${resym_args[@]}" \
  >"$out/file_size_limit.out" 2>"$out/file_size_limit.err")
status=$?
[ "$status" -eq 1 ] || fail "file_size_limit: exit status $status, expected 1"
expect_text file_size_limit err "File too large"
no_lock file_size_limit "$work"
kept file_size_limit "$work/target.obj" "$out/keep.obj"

# The input cut short while it is read, and while the output is written from it.
for point in mapped:in.obj writing:target.obj; do
  name=input_cut_${point%%:*}
  cp "$out/big.obj" "$work/in.obj"
  cp "$out/keep.obj" "$work/target.obj"
  start_paused "$name" "$point" resym "$work/in.obj" -o "$work/target.obj" "${resym_args[@]}" || continue
  truncate -s 100000 "$work/in.obj"
  resume "$name"
  [ "$status" -eq 1 ] || fail "$name: exit status $status, expected 1"
  expect_text "$name" err "in.obj: the input changed while it was read"
  no_lock "$name" "$work"
  kept "$name" "$work/target.obj" "$out/keep.obj"
done

# The folder made read-only before the rename: the lock file cannot be
# removed either, and the message says so and how to clear it. Root may
# write anywhere, so root runs this as nobody.
as_nobody=()
if [ "$(id -u)" -eq 0 ]; then
  as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
  "${as_nobody[@]}" "${host[@]}" --help >/dev/null 2>&1 || as_nobody=(skip)
fi
if [ "${as_nobody[0]:-}" != skip ]; then
  readonly_folder=$out/readonly
  mkdir -p "$readonly_folder"
  cp "$out/keep.obj" "$readonly_folder/target.obj"
  [ "$(id -u)" -eq 0 ] && chown -R nobody "$readonly_folder"
  chmod 0755 "$readonly_folder"
  prefix=("${as_nobody[@]}")
  if start_paused readonly_folder replace:target.obj resym "$out/big.obj" -o "$readonly_folder/target.obj" "${resym_args[@]}"; then
    chmod 0555 "$readonly_folder"
    resume readonly_folder
    [ "$status" -eq 1 ] || fail "readonly_folder: exit status $status, expected 1"
    expect_text readonly_folder err "lock file $readonly_folder/target.obj.lock could not be removed"
    expect_text readonly_folder err "delete it by hand"
    kept readonly_folder "$readonly_folder/target.obj" "$out/keep.obj"
  fi
  prefix=()
  chmod 0755 "$readonly_folder"
  rm -f "$readonly_folder/target.obj.lock"
fi

rm -f "$out/big.obj" "$work/in.obj"
[ "$failures" -eq 0 ] && echo "all fault checks passed"
exit $((failures > 0))
