#!/usr/bin/env bash
# Configures and builds the wizard types named (default: DLM and ISV) in one build folder,
# build/: each type's program goes into build/<type>/OrvaneSetup.exe, the test programs
# into build/tests. Code that does not depend on the type is compiled once.
#   scripts/build.sh [DLM] [ISV] [--no-tests] [--configure-only]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
types=()
tests=ON
configure_only=
for arg in "$@"; do
  case "$arg" in
    --no-tests) tests=OFF ;;
    --configure-only) configure_only=1 ;;
    *) types+=("$arg") ;;
  esac
done
[ "${#types[@]}" -gt 0 ] || types=(DLM ISV)
dir="$root/build"
# shellcheck source=isv-product.sh
source "$root/scripts/isv-product.sh"
list="$(IFS=';'; echo "${types[*]}")"
cmake -S "$root" -B "$dir" -G "Unix Makefiles" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DORVANE_WIZARD_TYPES="$list" -DORVANE_BUILD_TESTS="$tests" "${isv_product_args[@]}" >/dev/null
[ -z "$configure_only" ] || exit 0
cmake --build "$dir" -j "$(nproc)" -- --no-print-directory -s
for type in "${types[@]}"; do
  echo "build: $type -> build/$(echo "$type" | tr 'A-Z' 'a-z')/OrvaneSetup.exe"
done
