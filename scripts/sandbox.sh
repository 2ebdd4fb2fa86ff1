#!/usr/bin/env bash
# Runs a command inside a private mount and network namespace made for this run:
# loopback only, a test CA trusted through the CA bundle that Wine reads, the content
# host's names on 127.0.0.1, a private Xvfb display and a fresh Wine prefix.
# Nothing outside the namespace changes; everything it starts is stopped by pid.
#
#   scripts/sandbox.sh COMMAND [ARGS...]
#
# Inside, the command finds: DISPLAY, WINEPREFIX, ORVANE_SANDBOX (the run's folder),
# ORVANE_CA_DIR (ca.pem, server.pem, server.key: a certificate for the content host,
# the privacy host, localhost and 127.0.0.1).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
export ORVANE_IN_NAMESPACE=1
if [ "$(id -u)" -ne 0 ]; then
  exec unshare --map-root-user --mount --net --propagation private -- "$root/scripts/sandbox-inner.sh" "$@"
fi
exec unshare --mount --net --propagation private -- "$root/scripts/sandbox-inner.sh" "$@"
