#!/usr/bin/env bash
# Runs every test: the native host tests, then the Windows-side tests under
# Wine. Prints one closing line with the totals; fails when any test fails.
set -uo pipefail
B=${1:-build}
cd "$(dirname "$0")/.."
JOBS=${JOBS:-2}
passed=0; failed=0; rc=0
for tree in host win; do
  log=$(mktemp)
  (cd "$B/$tree" && ctest --output-on-failure -j"$JOBS") 2>&1 | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || rc=1
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1)
  if [ -n "$line" ]; then
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    nfail=$(sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/' <<<"$line")
    passed=$((passed + total - nfail)); failed=$((failed + nfail))
  fi
  rm -f "$log"
done
echo
echo "all: $passed passed, $failed failed"
[ "$failed" -eq 0 ] || rc=1
exit $rc
