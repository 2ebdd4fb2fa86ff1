#!/usr/bin/env bash
# The inside of scripts/sandbox.sh: runs in the new namespaces.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# The mounts below must never touch the machine itself.
[ "${ORVANE_IN_NAMESPACE:-}" = "1" ] || { echo "sandbox-inner.sh: start it through scripts/sandbox.sh" >&2; exit 2; }
content_host="${ORVANE_CONTENT_HOST:-content.orvane.test}"
privacy_host="${ORVANE_PRIVACY_HOST:-www.orvane.test}"

work="$(mktemp -d /tmp/orvane-sandbox.XXXXXX)"
pids=()
cleanup() {
  local status=$?
  set +e
  if [ -n "${WINEPREFIX:-}" ]; then WINEPREFIX="$WINEPREFIX" wineserver -k >/dev/null 2>&1; fi
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
trap 'echo "sandbox: failed (exit $?) at line $LINENO: $BASH_COMMAND" >&2' ERR
trap 'exit 130' INT TERM

ip link set lo up

# A test CA for this run, and a server certificate signed by it.
ca="$work/ca"
mkdir -p "$ca"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Orvane Test CA" \
  -keyout "$ca/ca.key" -out "$ca/ca.pem" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=$content_host" -keyout "$ca/server.key" -out "$ca/server.csr" 2>/dev/null
printf 'subjectAltName=DNS:%s,DNS:%s,DNS:localhost,IP:127.0.0.1\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n' \
  "$content_host" "$privacy_host" > "$ca/server.ext"
openssl x509 -req -in "$ca/server.csr" -CA "$ca/ca.pem" -CAkey "$ca/ca.key" -CAcreateserial -days 2 \
  -extfile "$ca/server.ext" -out "$ca/server.pem" 2>/dev/null

bundle=/etc/ssl/certs/ca-certificates.crt
cat "$bundle" "$ca/ca.pem" > "$work/ca-bundle.crt" 2>/dev/null || cp "$ca/ca.pem" "$work/ca-bundle.crt"
[ -e "$bundle" ] || { mkdir -p "$(dirname "$bundle")"; touch "$bundle"; }
mount --bind "$work/ca-bundle.crt" "$bundle"

cp /etc/hosts "$work/hosts"
printf '127.0.0.1 %s %s\n' "$content_host" "$privacy_host" >> "$work/hosts"
mount --bind "$work/hosts" /etc/hosts

if [ -n "${ORVANE_USE_DISPLAY:-}" ]; then
  # The caller's own display (scripts/run.sh on a desktop): its socket stays reachable.
  export DISPLAY="$ORVANE_USE_DISPLAY"
else
  # A private X socket folder: the display number is ours alone.
  mkdir -p /tmp/.X11-unix
  mount -t tmpfs -o mode=1777 tmpfs /tmp/.X11-unix
  # The lock file lives in the shared /tmp: other sandboxes may hold display 7 too.
  Xvfb :7 -nolock -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  pids+=($!)
  export DISPLAY=:7
  for _ in $(seq 1 100); do [ -S /tmp/.X11-unix/X7 ] && break; sleep 0.1; done
fi

# Wine links the user's Documents, Downloads and desktop folders into the home folder and
# writes menu entries there: inside the sandbox that home is the run's own.
# (A Python installed per user below the real home keeps working.)
[ -n "${PYENV_ROOT:-}" ] || [ ! -d "$HOME/.pyenv" ] || export PYENV_ROOT="$HOME/.pyenv"
export HOME="$work/home"
mkdir -p "$HOME"
export WINEPREFIX="$work/wine"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export ORVANE_SANDBOX="$work" ORVANE_CA_DIR="$ca"
mkdir -p "$WINEPREFIX"
wineserver -p
wineboot -i >/dev/null 2>&1
# Windows 10, and no crash debugger that would wait for a person.
wine reg add 'HKCU\Software\Wine' /v Version /d win10 /f >/dev/null 2>&1
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /d 1 /f >/dev/null 2>&1
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d 'no-debugger.exe' /f >/dev/null 2>&1
if [ -z "${ORVANE_USE_DISPLAY:-}" ]; then
  # On Xvfb the windows live in Wine's virtual desktop, which draws their captions and
  # frames as Windows does. Without it every top-level window is an X window with no
  # window manager, and each one that closes waits 2 s for a state change that never comes.
  # The desktop is made when the first program starts, so the server starts afresh.
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f >/dev/null 2>&1
  wineserver -k
  wineserver -w
  wineserver -p
  # Start the desktop now, away from any pipe: the desktop process lives on, and had a
  # test program started it, it would hold that program's output open and CTest would
  # wait for it to the time limit.
  wine cmd /c exit >/dev/null 2>&1 </dev/null
fi

"$@"
