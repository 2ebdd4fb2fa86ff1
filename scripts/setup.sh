#!/usr/bin/env bash
# Installs what building and testing need, when it is missing: Debian's packages
# and the sources of tinyxml2 and minizip (unpacked into .deps/, never committed).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
deps="$root/.deps"

packages=(
  cmake make g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth x11-utils
  libz-mingw-w64-dev nlohmann-json3-dev googletest imagemagick
  nginx openssl iproute2 util-linux dpkg-dev xz-utils python3 curl chromium
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

apt_updated=0
apt_update() {
  [ "$apt_updated" -eq 1 ] && return
  "${sudo_cmd[@]}" apt-get update -qq
  apt_updated=1
}

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  apt_update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Source packages: tinyxml2 (one .cpp) and minizip (unzip.c, ioapi.c, iowin32.c).
fetch_source() {
  local name="$1" marker="$2"
  [ -f "$deps/$name/$marker" ] && return
  if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    echo "setup: adding Debian source entries"
    printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
      | "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/orvane-src.sources >/dev/null
    apt_updated=0
  fi
  apt_update
  local tmp
  tmp="$(mktemp -d)"
  (cd "$tmp" && apt-get source --download-only "$name" >/dev/null 2>&1)
  local orig
  orig="$(ls "$tmp"/*.orig.tar.* | head -n 1)"
  mkdir -p "$deps/$name"
  tar -xf "$orig" -C "$deps/$name" --strip-components=1
  rm -rf "$tmp"
  [ -f "$deps/$name/$marker" ] || { echo "setup: $name source has no $marker" >&2; exit 1; }
  echo "setup: unpacked $name into .deps/$name"
}
fetch_source tinyxml2 tinyxml2.cpp
fetch_source minizip unzip.c
