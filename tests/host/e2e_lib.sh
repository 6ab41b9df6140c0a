# What the host's end-to-end scripts share: running the host and checking
# what it printed. The script that sources this sets `out` (its output
# folder) and `host` (the host command, an array) first.
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# run NAME ARGS...: runs the host, keeping stdout and stderr in $out/NAME.out
# and NAME.err, CR stripped (the Windows console ends lines with CR LF). With
# E2E_TIMEOUT set, a run that takes longer than that many seconds is stopped.
run() {
  local name=$1
  shift
  if [ -n "${E2E_TIMEOUT:-}" ]; then
    timeout "$E2E_TIMEOUT" "${host[@]}" "$@" >"$out/$name.out" 2>"$out/$name.err"
  else
    "${host[@]}" "$@" >"$out/$name.out" 2>"$out/$name.err"
  fi
  local status=$?
  sed -i 's/\r$//' "$out/$name.out" "$out/$name.err"
  return $status
}
expect_status() { # NAME WANTED ARGS...
  local name=$1 wanted=$2
  shift 2
  run "$name" "$@"
  local status=$?
  [ "$status" -eq "$wanted" ] || fail "$name: exit status $status, expected $wanted; stderr: $(head -c 600 "$out/$name.err")"
}
expect_line() { # NAME FILE-SUFFIX TEXT: a line of the output equals TEXT
  grep -qxF -- "$3" "$out/$1.$2" || fail "$1: no line \"$3\" in its $2: $(head -c 900 "$out/$1.$2")"
}
expect_text() { # NAME FILE-SUFFIX TEXT: the output contains TEXT
  grep -qF -- "$3" "$out/$1.$2" || fail "$1: \"$3\" not in its $2: $(head -c 900 "$out/$1.$2")"
}
