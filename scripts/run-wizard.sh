#!/usr/bin/env bash
# Inside the sandbox: starts the local content host and the wizard (scripts/run.sh).
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
exe="$1"
# The content host and any other service the wizard talks to (scripts/services.d).
service_pids=()
stop_services() {
  for pid in "${service_pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${service_pids[@]}"; do wait "$pid" 2>/dev/null; done
}
trap stop_services EXIT
for service in "$root"/scripts/services.d/*.sh; do
  [ -e "$service" ] || continue
  # shellcheck source=/dev/null
  source "$service" || { echo "run: $(basename "$service") failed to start" >&2; exit 1; }
done
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
