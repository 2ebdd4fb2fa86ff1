#!/usr/bin/env bash
# Download benchmark (prints figures; it is not a test): one file of SIZE_MIB (default
# 256) MiB over HTTPS from nginx on loopback, fetched three ways in the same run: by the
# download manager, by a bare WinHTTP read loop, and by curl. For each: throughput of
# the transfer, CPU time and peak memory of the process, then the ratios. Each way runs
# ROUNDS times (default 3); the median run is shown.
#   scripts/bench-download.sh [SIZE_MIB]
set -euo pipefail
[ -n "${ORVANE_BENCH_TRACE:-}" ] && set -x
root="$(cd "$(dirname "$0")/.." && pwd)"
size_mib="${1:-256}"
rounds="${ORVANE_BENCH_ROUNDS:-3}"
build="$root/build"

if [ -z "${ORVANE_SANDBOX:-}" ]; then
  "$root/scripts/build.sh" --configure-only
  cmake --build "$build" -j "$(nproc)" --target bench_winhttp_loop bench_download_manager -- --no-print-directory -s
  exec "$root/scripts/sandbox.sh" "$0" "$@"
fi

service_pids=()
stop_services() { for pid in "${service_pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done; }
trap stop_services EXIT
# shellcheck source=services.d/nginx.sh
source "$root/scripts/services.d/nginx.sh"

head -c "$((size_mib * 1048576))" /dev/urandom > "$ORVANE_NGINX_ROOT/bench.bin"
expected="$(sha256sum < "$ORVANE_NGINX_ROOT/bench.bin" | cut -d' ' -f1)"
url="https://localhost:$ORVANE_NGINX_HTTPS_PORT/bench.bin"
out="$ORVANE_SANDBOX/bench-out"
mkdir -p "$out"
win_out="Z:$(echo "$out" | tr '/' '\\')"
results="$ORVANE_SANDBOX/bench-results"
: > "$results"

# Runs one way once: "way bytes seconds cpu_seconds peak_kib" goes to the results.
measure() {
  local way="$1"; shift
  local timing="$ORVANE_SANDBOX/time.txt" output="$ORVANE_SANDBOX/stdout.txt"
  rm -f "$out"/*
  /usr/bin/time -f '%U %S %M' -o "$timing" "$@" > "$output"
  local file="$out/bench.bin"
  [ "$(sha256sum < "$file" | cut -d' ' -f1)" = "$expected" ] || { echo "$way: downloaded file differs" >&2; exit 1; }
  read -r user sys peak < "$timing"
  # Windows programs end their lines with CR LF.
  read -r bytes seconds _ < <(tr -d '\r' < "$output")
  echo "$way $bytes $seconds $(echo "$user + $sys" | bc -l) $peak" >> "$results"
}

for _ in $(seq 1 "$rounds"); do
  measure manager wine "$build/tests/bench/bench_download_manager.exe" "$url" "$win_out"
  measure bare wine "$build/tests/bench/bench_winhttp_loop.exe" "$url" "$win_out\\bench.bin"
  measure curl curl -s --cacert "$ORVANE_CA_DIR/ca.pem" -o "$out/bench.bin" -w '%{size_download} %{time_total}\n' "$url"
done

python3 - "$results" "$size_mib" <<'PY'
import statistics, sys
rows = {}
for line in open(sys.argv[1]):
    way, size, seconds, cpu, peak = line.split()
    rows.setdefault(way, []).append((float(seconds), int(size), float(cpu), int(peak)))
median = {}
for way, runs in rows.items():
    runs.sort()
    median[way] = runs[len(runs) // 2]
names = {"manager": "download manager", "bare": "bare WinHTTP loop", "curl": "curl"}
print(f"{sys.argv[2]} MiB over HTTPS from nginx on loopback, median of {len(rows['curl'])} runs")
print(f"{'way':20} {'MB/s':>8} {'seconds':>8} {'CPU s':>7} {'peak MiB':>9}")
for way in ("manager", "bare", "curl"):
    seconds, size, cpu, peak = median[way]
    print(f"{names[way]:20} {size / seconds / 1e6:8.1f} {seconds:8.2f} {cpu:7.2f} {peak / 1024:9.1f}")
rate = {way: median[way][1] / median[way][0] for way in median}
print(f"throughput: manager / bare loop = {rate['manager'] / rate['bare']:.2f} (goal at least 0.90), "
      f"bare loop / curl = {rate['bare'] / rate['curl']:.2f}, manager / curl = {rate['manager'] / rate['curl']:.2f}")
print(f"CPU time: manager / bare loop = {median['manager'][2] / median['bare'][2]:.2f}; "
      f"peak memory of the manager: {median['manager'][3] / 1024:.1f} MiB (goal under 40)")
PY
