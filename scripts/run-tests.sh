#!/usr/bin/env bash
# Runs CTest in each build folder; started by scripts/test.sh inside the sandbox.
# Extra arguments go to CTest (for example -R unit_config).
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
[ -n "${ORVANE_SANDBOX:-}" ] || { echo "run-tests.sh: run it through scripts/test.sh" >&2; exit 2; }

# The services the wizard and the tests talk to.
# shellcheck source=services.sh
source "$root/scripts/services.sh"

passed=0
failed=0
status=0
# ORVANE_BUILD_DIRS names other build folders (a developer's own, for example).
for dir in ${ORVANE_BUILD_DIRS:-"$root/build"}; do
  [ -f "$dir/CTestTestfile.cmake" ] || continue
  echo "== tests of ${dir#$root/}"
  log="$ORVANE_SANDBOX/ctest-$(basename "$dir").log"
  (cd "$dir" && ctest --output-on-failure "$@") 2>&1 | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  summary="$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)"
  if [ -n "$summary" ]; then
    total="$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$summary")"
    bad="$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$summary")"
    passed=$((passed + total - bad))
    failed=$((failed + bad))
  fi
done
echo "tests: $passed passed, $failed failed"
exit "$status"
