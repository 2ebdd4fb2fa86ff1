#!/usr/bin/env bash
# The README's run command: installs what is missing, builds the wizard and the demo
# installers, starts the local content host with the demo catalog inside the sandbox,
# and runs the wizard under Wine. With a desktop (DISPLAY set) you click through the
# wizard yourself; without one the autopilot walks it on a private display and saves a
# screenshot of every page in out/. Either way the run ends with a report: what was
# downloaded where, what was started with which arguments, the events the content host
# received, and the funnel table (its HTML page is out/funnel.html).
#   scripts/run.sh [DLM|ISV] [--catalog FILE] [--script FILE]
#     ISV            the installer type instead of the download type
#     --catalog FILE a catalog of your own in place of tools/content-host/catalog/demo.json
#     --script FILE  the autopilot's answers to the offer pages (default: demo-script.json)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
type=DLM
catalog="$root/tools/content-host/catalog/demo.json"
script="$root/tools/content-host/catalog/demo-script.json"
while [ $# -gt 0 ]; do
  case "$1" in
    DLM|ISV) type="$1" ;;
    --catalog) catalog="$(realpath "$2")"; shift ;;
    --script) script="$(realpath "$2")"; shift ;;
    *) echo "usage: scripts/run.sh [DLM|ISV] [--catalog FILE] [--script FILE]" >&2; exit 2 ;;
  esac
  shift
done
[ -f "$catalog" ] || { echo "run: no catalog file $catalog" >&2; exit 2; }
"$root/scripts/setup.sh"
folder="$(echo "$type" | tr 'A-Z' 'a-z')"
dir="$root/build"
# The shared build folder of scripts/build.sh: only this type's wizard, its driver (the
# autopilot) and the demo installers are built.
"$root/scripts/build.sh" --configure-only
cmake --build "$dir" -j "$(nproc)" --target "OrvaneSetup_$folder" "e2e_wizard_$folder" demo_files \
  -- --no-print-directory -s
mkdir -p "$root/out"
export ORVANE_CATALOG="$catalog" ORVANE_DEMO_FILES="$dir/demo" ORVANE_DEMO_SCRIPT="$script"

if [ -n "${DISPLAY:-}" ] && [ -S "/tmp/.X11-unix/X${DISPLAY#*:}" ]; then
  export ORVANE_USE_DISPLAY="$DISPLAY"
  echo "run: starting the $type wizard on your display $DISPLAY"
fi
exec "$root/scripts/sandbox.sh" "$root/scripts/run-wizard.sh" "$dir/$folder/OrvaneSetup.exe" \
  "$dir/tests/e2e_wizard_$folder.exe" "$folder"
