#!/usr/bin/env bash
# The README's run command: installs what is missing, builds the download-type wizard
# and runs it under Wine inside the sandbox, against the project's local content host.
# With a desktop (DISPLAY set) the wizard opens there and runs until you close it;
# without one it runs on a private Xvfb display for ORVANE_RUN_SECONDS (default 30),
# and a screenshot of that display is saved to out/run-screenshot.png.
#   scripts/run.sh [DLM|ISV]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
type="${1:-DLM}"
"$root/scripts/setup.sh"
folder="$(echo "$type" | tr 'A-Z' 'a-z')"
dir="$root/build"
# The shared build folder of scripts/build.sh; only this type's wizard is built.
"$root/scripts/build.sh" --configure-only
cmake --build "$dir" -j "$(nproc)" --target "OrvaneSetup_$folder" -- --no-print-directory -s
mkdir -p "$root/out"

if [ -n "${DISPLAY:-}" ] && [ -S "/tmp/.X11-unix/X${DISPLAY#*:}" ]; then
  export ORVANE_USE_DISPLAY="$DISPLAY"
  echo "run: starting the $type wizard on your display $DISPLAY"
else
  echo "run: no display; starting the $type wizard on a private Xvfb display for ${ORVANE_RUN_SECONDS:-30} s"
fi
exec "$root/scripts/sandbox.sh" "$root/scripts/run-wizard.sh" "$dir/$folder/OrvaneSetup.exe"
