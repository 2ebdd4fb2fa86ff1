#!/usr/bin/env bash
# Inside the sandbox: starts the local content host and the wizard (scripts/run.sh).
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
exe="$1"
# The services the wizard and the tests talk to.
# shellcheck source=services.sh
source "$root/scripts/services.sh"
# The wizard reads its download token from its own file name.
cp "$exe" "$ORVANE_SANDBOX/OrvaneSetup_ab12-cd.exe"
wine "$ORVANE_SANDBOX/OrvaneSetup_ab12-cd.exe" &
wizard=$!
if [ -n "${ORVANE_USE_DISPLAY:-}" ]; then
  wait "$wizard"
  echo "run: the wizard ended with exit code $?"
  exit 0
fi
sleep "${ORVANE_RUN_SECONDS:-30}"
import -window root "$root/out/run-screenshot.png" 2>/dev/null && echo "run: screenshot saved to out/run-screenshot.png"
kill "$wizard" 2>/dev/null
wait "$wizard" 2>/dev/null
echo "run: stopped the wizard after ${ORVANE_RUN_SECONDS:-30} s"
