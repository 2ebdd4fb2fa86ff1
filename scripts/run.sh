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
dir="$root/build/$(echo "$type" | tr 'A-Z' 'a-z')"
# shellcheck source=isv-product.sh
source "$root/scripts/isv-product.sh"
product=()
[ "$type" != ISV ] || product=("${isv_product_args[@]}")
cmake -S "$root" -B "$dir" -G "Unix Makefiles" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DORVANE_WIZARD_TYPE="$type" "${product[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)" --target OrvaneSetup -- --no-print-directory -s
mkdir -p "$root/out"

if [ -n "${DISPLAY:-}" ] && [ -S "/tmp/.X11-unix/X${DISPLAY#*:}" ]; then
  export ORVANE_USE_DISPLAY="$DISPLAY"
  echo "run: starting the $type wizard on your display $DISPLAY"
else
  echo "run: no display; starting the $type wizard on a private Xvfb display for ${ORVANE_RUN_SECONDS:-30} s"
fi
exec "$root/scripts/sandbox.sh" "$root/scripts/run-wizard.sh" "$dir/OrvaneSetup.exe"
