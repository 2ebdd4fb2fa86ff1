#!/usr/bin/env bash
# The README's test command: installs what is missing, builds both wizard types and
# runs every test inside the sandbox (scripts/sandbox.sh).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" DLM ISV
exec "$root/scripts/sandbox.sh" "$root/scripts/run-tests.sh" "$@"
