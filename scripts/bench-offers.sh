#!/usr/bin/env bash
# Offer check benchmark (prints figures; it is not a test): one configuration load of
# 50 offers, each naming 40 registry paths below the same software keys plus file,
# program and App Paths lists, evaluated under Wine in a fresh prefix. Prints the time
# of the whole load and per offer (median of ROUNDS loads, default 5) and how often the
# checker enumerated subkeys, resolved App Paths entries and listed the processes.
#   scripts/bench-offers.sh [ROUNDS]
# ORVANE_BENCH_BUILD names another build folder to use (default build, built first).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${ORVANE_BENCH_BUILD:-$root/build}"

if [ -z "${ORVANE_SANDBOX:-}" ]; then
  [ -n "${ORVANE_BENCH_BUILD:-}" ] || "$root/scripts/build.sh" --configure-only
  cmake --build "$build" -j "$(nproc)" --target bench_offer_checks -- --no-print-directory -s
  exec "$root/scripts/sandbox.sh" "$0" "$@"
fi

# Windows programs end their lines with CR LF.
wine "$build/tests/bench/bench_offer_checks.exe" "${1:-5}" | tr -d '\r'
