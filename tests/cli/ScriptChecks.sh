# What the command-line test scripts share; sourced once $out names their folder for outputs, which
# it empties. fail says a failed check and counts it; check runs a command with its output in
# $out/stdout and $out/stderr and fails when its exit code is not the one expected.
rm -rf "$out" && mkdir -p "$out"
failures=0
total=0
fail() { # what failed
  echo "FAIL: $*"
  failures=$((failures + 1))
}
check() { # description, expected exit code, command...
  local description=$1 expected=$2
  total=$((total + 1))
  shift 2
  "$@" >"$out/stdout" 2>"$out/stderr" </dev/null
  local code=$?
  if [ "$code" != "$expected" ]; then
    fail "$description: exit $code, expected $expected"
    cat "$out/stderr"
  fi
}
