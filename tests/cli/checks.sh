# Sourced by the command-line tests: $CLI, a scratch directory $tmp that
# goes when the test ends, check DESCRIPTION STATUS, and finish NAME,
# which prints the count and ends the test with its status.
set -u
CLI="$ZALOR_BIN/zalor-cli"
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
passed=0 failed=0
check() {
  if [ "$2" -eq 0 ]; then passed=$((passed + 1)); else echo "FAIL: $1"; failed=$((failed + 1)); fi
}
finish() {
  echo "$1: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
