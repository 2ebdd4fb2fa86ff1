#!/usr/bin/env bash
# Configures and builds the wizard types named (default: DLM and ISV), each in build/<type>.
#   scripts/build.sh [DLM] [ISV] [--no-tests]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
types=()
tests=ON
for arg in "$@"; do
  case "$arg" in
    --no-tests) tests=OFF ;;
    *) types+=("$arg") ;;
  esac
done
[ "${#types[@]}" -gt 0 ] || types=(DLM ISV)
jobs="$(nproc)"
# shellcheck source=isv-product.sh
source "$root/scripts/isv-product.sh"
for type in "${types[@]}"; do
  dir="$root/build/$(echo "$type" | tr 'A-Z' 'a-z')"
  product=()
  [ "$type" != ISV ] || product=("${isv_product_args[@]}")
  cmake -S "$root" -B "$dir" -G "Unix Makefiles" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DORVANE_WIZARD_TYPE="$type" -DORVANE_BUILD_TESTS="$tests" "${product[@]}" >/dev/null
  cmake --build "$dir" -j "$jobs" -- --no-print-directory -s
  echo "build: $type -> ${dir#$root/}/OrvaneSetup.exe"
done
