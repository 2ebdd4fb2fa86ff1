#!/usr/bin/env bash
# Inside the sandbox (scripts/run.sh): starts the local content host with the catalog and
# the demo installers, then the wizard: on the caller's display for the user to click
# through, or else walked by the autopilot (the end-to-end driver), which saves a
# screenshot of every page. Either way it ends with the run's report.
#   run-wizard.sh WIZARD.exe DRIVER.exe TYPE
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
exe="$1"
driver="$2"
type="$3"
out="$root/out"
windows_path() { echo "Z:${1//\//\\}"; }

# The installers the wizard starts leave their markers here.
markers="$ORVANE_SANDBOX/markers"
mkdir -p "$markers"
export ORVANE_MARKER_DIR="$(windows_path "$markers")"
# shellcheck source=services.sh
source "$root/scripts/services.sh"

if [ -n "${ORVANE_USE_DISPLAY:-}" ]; then
  # The wizard reads its download token from its own file name.
  cp "$exe" "$ORVANE_SANDBOX/OrvaneSetup_ab12-cd.exe"
  echo "run: the wizard is open on your display; close it or press Finish to see the report"
  wine "$ORVANE_SANDBOX/OrvaneSetup_ab12-cd.exe"
  echo "run: the wizard ended with exit code $?"
else
  shots="$out/screenshots-$type"
  rm -rf "$shots"
  mkdir -p "$shots"
  export ORVANE_SCREENSHOT_DIR="$(windows_path "$shots")"
  export ORVANE_AUTOPILOT_SCRIPT="$(windows_path "$ORVANE_DEMO_SCRIPT")"
  echo "run: the autopilot walks the $type wizard on a private display (answers: ${ORVANE_DEMO_SCRIPT#$root/})"
  (cd "$(dirname "$driver")" && "$root/scripts/wine-run.sh" "$driver" --gtest_filter=Autopilot.* --gtest_brief=1) \
    | tr -d '\r' | grep -E '^autopilot:|Failure|error|FAILED' | sed "s|Z:${out//\//\\\\}|out|; s|\\\\|/|g"
  echo "run: screenshots of every page are in ${shots#$root/}/"
fi

echo
downloads="$(ls -d "$WINEPREFIX"/drive_c/users/*/Downloads 2>/dev/null | head -n 1)"
python3 "$root/scripts/run-report.py" --data-dir "$ORVANE_CONTENT_HOST_DATA" --markers "$markers" --downloads "$downloads"
if [ -f "$root/tools/content-host/funnel_report.py" ]; then
  echo
  python3 "$root/tools/content-host/funnel_report.py" --data-dir "$ORVANE_CONTENT_HOST_DATA" --html "$out/funnel.html"
fi
