#!/usr/bin/env bash
# The benchmark (prints figures; it is not a test and not part of scripts/test.sh).
# Measures, each figure against a reference taken in the same run, and prints one table
# with the goal beside each figure:
#   size        each wizard's size and its largest parts (from a link map)
#   tests       the test command from a fresh clone, and its slowest tests
#   startup     process start to the first page painted: the wizards against a minimal
#               Win32 dialog program, under Wine on Xvfb
#   config      a configuration load of 50 offers with rich checks
#   responsive  the longest wait for the wizard's user-interface thread while a download
#               runs and while a 100 MiB zip offer is prepared and launched
#   download    a file over HTTPS from nginx on loopback: the download manager against a
#               bare WinHTTP read loop and curl (the table's last line)
#
#   scripts/bench.sh [--quick] [--no-tests] [--only PART[,PART...]]
#     --quick     a 64 MiB file, fewer rounds, and no test command
#     --no-tests  everything but the test command (about 4 minutes)
#     --only      just the parts named
# ORVANE_BENCH_BUILD names the build folder (default build/, configured as build.sh does).
set -euo pipefail
[ -n "${ORVANE_BENCH_TRACE:-}" ] && set -x
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${ORVANE_BENCH_BUILD:-$root/build}"

quick=
inside=
parts="size,tests,startup,config,responsive,download"
while [ $# -gt 0 ]; do
  case "$1" in
    --quick) quick=1; parts="${parts/tests,/}" ;;
    --no-tests) parts="${parts/tests,/}" ;;
    --only) parts="$2"; shift ;;
    --inside) inside=1 ;; # set by the outer half when it enters the sandbox
    *) echo "bench.sh: unknown argument $1" >&2; exit 2 ;;
  esac
  shift
done
want() { [[ ",$parts," == *",$1,"* ]]; }
if [ -n "$inside" ]; then quick="${ORVANE_BENCH_QUICK:-}"; fi
export ORVANE_BENCH_QUICK="$quick"

if [ -n "$quick" ]; then
  size_mib=64; download_rounds=1; startup_rounds=5; config_rounds=3
else
  size_mib=256; download_rounds=3; startup_rounds=7; config_rounds=5
fi

# ---------------------------------------------------------------- inside the sandbox
if [ -n "${ORVANE_SANDBOX:-}" ]; then
  results="$ORVANE_BENCH_RESULTS"
  row() { printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$@" >> "$results"; }
  windows_path() { echo "Z:${1//\//\\}"; }
  # Windows programs end their lines with CR LF.
  run_wine() { wine "$@" | tr -d '\r'; }
  export ORVANE_BUILD_DIRS="$build"
  if want responsive; then
    # The offer of the responsiveness run, a zip archive of 100 MiB (the stand-in installer
    # and a payload that does not compress), served by the content host: an offer's
    # address names no port.
    mkdir -p "$ORVANE_SANDBOX/bench-files/bench"
    python3 - "$build/tests/fake_installer.exe" "$ORVANE_SANDBOX/bench-files/bench/bench-offer.zip" <<'PY'
import os, sys, zipfile
with zipfile.ZipFile(sys.argv[2], "w", zipfile.ZIP_DEFLATED, compresslevel=1) as archive:
    archive.write(sys.argv[1], "bench_setup.exe")
    with archive.open("payload.bin", "w", force_zip64=True) as payload:
        for _ in range(100):
            payload.write(os.urandom(1 << 20))
PY
    export ORVANE_DEMO_FILES="$ORVANE_SANDBOX/bench-files"
  fi
  # shellcheck source=services.sh
  source "$root/scripts/services.sh"
  # Stopped services answer with their signal; that is no failure of the benchmark.
  trap 'set +e; stop_services' EXIT

  if want startup; then
    echo "bench: start-up" >&2
    programs=("$build/tests/bench/bench_minimal_dialog.exe" "$build/tests/bench/bench_minimal_dialog_loaded.exe")
    types=()
    for type in dlm isv; do
      [ -f "$build/$type/OrvaneSetup.exe" ] || continue
      # The copy carries a download token, as a downloaded wizard does.
      cp "$build/$type/OrvaneSetup.exe" "$ORVANE_SANDBOX/OrvaneSetup-$type""_ab12-cd.exe"
      programs+=(--page "$ORVANE_SANDBOX/OrvaneSetup-$type""_ab12-cd.exe")
      types+=("$type")
    done
    mapfile -t times < <(run_wine "$build/tests/bench/bench_startup.exe" "$startup_rounds" "${programs[@]}")
    row startup "minimal dialog (reference), median of $startup_rounds" "${times[0]}" - - ms:none
    row startup "  the same after common controls 6, rich edit and GDI+, as the wizard starts" "${times[1]}" \
      "${times[0]}" - ms:ratio
    for i in "${!types[@]}"; do
      row startup "${types[$i]} wizard to its language page" "${times[$((i + 2))]}" "${times[0]}" "at most 1.3 x" \
        ms:ratio-max-1.3
      row startup "  against the dialog with what the wizard loads" "${times[$((i + 2))]}" "${times[1]}" - ms:ratio
    done
  fi

  if want config; then
    echo "bench: configuration load" >&2
    cp "$root/tools/content-host/files/img/notes.png" "$ORVANE_NGINX_ROOT/notes.png"
    run_wine "$build/tests/bench/bench_offer_checks.exe" "$config_rounds" "https://localhost:$ORVANE_NGINX_HTTPS_PORT" \
      > "$ORVANE_SANDBOX/config.txt"
    cat "$ORVANE_SANDBOX/config.txt" >&2
    read -r _ checks enumerations index_builds resolutions resolvable snapshots disk memory cpu \
      < <(grep '^COUNTS ' "$ORVANE_SANDBOX/config.txt")
    row config "offer checks of 50 offers (evaluation alone)" "$checks" - "under 0.5 s" s:max-0.5
    if real="$(grep '^REAL ' "$ORVANE_SANDBOX/config.txt")"; then
      read -r _ request load accepted pictures nginx_pictures single single_nginx thread_starts <<<"$real"
      after="$(echo "$load - $request" | bc -l)"
      context="$(printf '%.0f ms load less %.0f ms request' "$(echo "$load * 1000" | bc -l)" "$(echo "$request * 1000" | bc -l)")"
      row config "response's arrival to onPackagesReady, $accepted offers ($context)" \
        "$after" - "under 0.5 s" s:max-0.5
      row config "  the $((accepted + 1)) pictures alone, fetched at once from the content host" "$pictures" - - s:none
      row config "  the same pictures from nginx" "$nginx_pictures" - - s:none
      row config "  one picture alone, from the content host / from nginx" "$single" "$single_nginx" - s:none
      row config "  $((accepted + 1)) empty threads started and ended (one per picture)" "$thread_starts" - - s:none
    fi
    row config "subkey enumerations of software keys" "$enumerations" - "at most 4 (2 roots x 2 views)" count:max-4
    row config "App Paths index builds" "$index_builds" - "at most 1" count:max-1
    row config "App Paths resolutions" "$resolutions" - "at most $resolvable (each entry looked up, once)" \
      "count:max-$resolvable"
    row config "process snapshots" "$snapshots" - "at most 1" count:max-1
    row config "disk / memory / processor queries" "$disk/$memory/$cpu" - "at most 1 each" count:max-1
  fi

  if want responsive || want download; then
    head -c "$((size_mib * 1048576))" /dev/urandom > "$ORVANE_NGINX_ROOT/bench.bin"
  fi
  nginx_url="https://localhost:$ORVANE_NGINX_HTTPS_PORT"

  if want responsive; then
    echo "bench: responsiveness" >&2
    probe="$build/tests/bench/bench_responsiveness.exe"
    line="$(run_wine "$probe" "$nginx_url/bench.bin" | grep '^download ')"
    read -r _ longest probes <<<"$line"
    row responsive "longest wait for the UI thread, $size_mib MiB download ($probes probes)" "$longest" - \
      "at most 100 ms" ms:max-100
    lines="$(run_wine "$probe" "https://content.orvane.test/f/product/OrvaneDemo.exe" "https://content.orvane.test/f/bench/bench-offer.zip")"
    read -r _ longest probes < <(grep '^prepare ' <<<"$lines")
    row responsive "longest wait for the UI thread, 100 MiB zip offer prepared and launched ($probes probes)" \
      "$longest" - "at most 100 ms" ms:max-100
  fi

  if want download; then
    echo "bench: download" >&2
    expected="$(sha256sum < "$ORVANE_NGINX_ROOT/bench.bin" | cut -d' ' -f1)"
    out="$ORVANE_SANDBOX/bench-out"
    mkdir -p "$out"
    runs="$ORVANE_SANDBOX/download-runs"
    : > "$runs"
    # One way once: "way bytes seconds cpu_seconds peak_kib messages transfer_cpu start_kib" goes to
    # the runs (start_kib: the working set when the transfer started, from the program itself).
    measure() {
      local way="$1"; shift
      local timing="$ORVANE_SANDBOX/time.txt" output="$ORVANE_SANDBOX/stdout.txt"
      rm -f "$out"/*
      /usr/bin/time -f '%U %S %M' -o "$timing" "$@" > "$output"
      [ "$(sha256sum < "$out/bench.bin" | cut -d' ' -f1)" = "$expected" ] || { echo "$way: downloaded file differs" >&2; exit 1; }
      local user sys peak bytes seconds messages transfer start
      read -r user sys peak < "$timing"
      read -r bytes seconds messages transfer start < <(tr -d '\r' < "$output")
      echo "$way $bytes $seconds $(echo "$user + $sys" | bc -l) $peak ${messages:--} ${transfer:--} ${start:--}" >> "$runs"
    }
    url="$nginx_url/bench.bin"
    target="$(windows_path "$out")\\bench.bin"
    for _ in $(seq 1 "$download_rounds"); do
      measure manager wine "$build/tests/bench/bench_download_manager.exe" "$url" "$(windows_path "$out")"
      measure bare wine "$build/tests/bench/bench_winhttp_loop.exe" "$url" "$target"
      # The bare loop with what the manager does differently: its TLS versions, the window
      # its caller has (the page's side of the progress messages), its transfer thread.
      measure bare-tls wine "$build/tests/bench/bench_winhttp_loop.exe" "$url" "$target" --protocols aa0
      measure bare-window wine "$build/tests/bench/bench_winhttp_loop.exe" "$url" "$target" --window
      measure bare-thread wine "$build/tests/bench/bench_winhttp_loop.exe" "$url" "$target" --thread
      measure curl curl -s --cacert "$ORVANE_CA_DIR/ca.pem" -o "$out/bench.bin" -w '%{size_download} %{time_total}\n' "$url"
    done
    python3 - "$runs" "$size_mib" >> "$results" <<'PY'
import statistics, sys
runs = {}
for line in open(sys.argv[1]):
    way, size, seconds, cpu, peak, messages, transfer, start = line.split()
    runs.setdefault(way, []).append((float(seconds), int(size), float(cpu), int(peak), messages,
                                     float(transfer) if transfer != "-" else None,
                                     int(peak) - int(start) if start != "-" else None,
                                     int(start) if start != "-" else None))
# Each figure is the median over the rounds of that way.
def med(way, i):
    return statistics.median(r[i] for r in runs[way])
rate = {way: statistics.median(r[1] / r[0] / 1e6 for r in runs[way]) for way in runs}
n, size = len(runs["bare"]), sys.argv[2]
def row(*cells):
    print("\t".join(str(c) for c in cells))
for way, name in (("bare", "bare WinHTTP loop"), ("bare-tls", "bare loop + the manager's TLS versions (0xAA0)"),
                  ("bare-window", "bare loop + a message window"),
                  ("bare-thread", "bare loop on a thread of its own"), ("curl", "curl")):
    transfer = f", transfer CPU {med(way, 5):.2f} s" if runs[way][0][5] is not None else ""
    row("download", f"{name}: {rate[way]:.1f} MB/s, CPU {med(way, 2):.2f} s{transfer}, peak {med(way, 3) / 1024:.1f} MiB",
        rate[way], rate["bare"], "-", "MB/s:ratio")
row("download", "transfer CPU time (the download alone), manager", med("manager", 5), med("bare", 5), "-", "s:ratio")
row("download", "CPU time of the process, manager", med("manager", 2), med("bare", 2), "at most 1.1 x", "s:ratio-max-1.1")
row("download", "peak memory, manager", med("manager", 3), med("bare", 3), "at most 1.25 x", "KiB:ratio-max-1.25")
# The manager's process holds the wizard's libraries before it downloads anything (common
# controls 6 through the manifest, the shell's libraries through the configuration); what
# the download itself adds is the peak less the working set when it started.
row("download", "  working set when the download starts, manager", med("manager", 7), med("bare", 7), "-",
    "KiB:ratio")
row("download", "  memory the download adds (peak less that), manager", med("manager", 6), med("bare", 6), "-",
    "KiB:ratio")
row("download", "  memory the download adds, bare loop on a thread of its own", med("bare-thread", 6), med("bare", 6),
    "-", "KiB:ratio")
row("download", "progress messages posted by the manager", runs["manager"][0][4], "-", "one per percent (about 100)",
    "count:none")
row("download", f"throughput, download manager ({size} MiB over HTTPS, median of {n})",
    rate["manager"], rate["bare"], "at least 0.97 x", "MB/s:ratio-min-0.97")
PY
  fi
  exit 0
fi

# ---------------------------------------------------------------- outside the sandbox
results="$(mktemp /tmp/orvane-bench.XXXXXX)"
trap 'rm -f "$results"' EXIT
row() { printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$@" >> "$results"; }

if [ -z "${ORVANE_BENCH_BUILD:-}" ]; then
  "$root/scripts/build.sh" --configure-only
fi
targets=(OrvaneSetup_dlm OrvaneSetup_isv)
want size && targets+=(bench_size_map_dlm bench_size_map_isv)
want startup && targets+=(bench_startup bench_minimal_dialog bench_minimal_dialog_loaded)
want config && targets+=(bench_offer_checks)
want responsive && targets+=(bench_responsiveness fake_installer)
want download && targets+=(bench_winhttp_loop bench_download_manager)
targets+=(desktop_keeper)
echo "bench: building ${targets[*]}" >&2
cmake --build "$build" -j 2 --target "${targets[@]}" -- --no-print-directory -s >&2

if want size; then
  for type in dlm isv; do
    exe="$build/$type/OrvaneSetup.exe"
    [ -f "$exe" ] || continue
    python3 "$root/tests/bench/size_parts.py" "$exe" "$build/tests/bench/size-map-$type.txt" "$type" >> "$results"
  done
fi

if want tests; then
  echo "bench: the test command from a fresh clone (about 11 minutes)" >&2
  clone="$(mktemp -d /tmp/orvane-bench-clone.XXXXXX)"
  git clone -q "$root" "$clone/x"
  # The packages are present: the unpacked dependency sources come along too.
  [ -d "$root/.deps" ] && cp -r "$root/.deps" "$clone/x/.deps"
  start=$(date +%s.%N)
  status=0
  (cd "$clone/x" && scripts/test.sh) > "$clone/test.log" 2>&1 || status=$?
  seconds="$(echo "$(date +%s.%N) - $start" | bc -l)"
  summary="$(grep -E '^tests: ' "$clone/test.log" | tail -n 1)"
  row tests "test command from a fresh clone (${summary:-no summary}, exit $status)" "$seconds" - "under 900 s" s:max-900
  grep -E 'Test +#[0-9]+: ' "$clone/test.log" | sed -E 's/.*Test +#[0-9]+: ([^ ]+) .* ([0-9.]+) sec$/\2 \1/' |
    sort -rn | head -n 5 | while read -r sec name; do
      row tests "  slow test: $name" "$sec" - - s:none
    done
  rm -rf "$clone"
fi

if want startup || want config || want responsive || want download; then
  ORVANE_BENCH_RESULTS="$results" ORVANE_BENCH_BUILD="$build" "$root/scripts/sandbox.sh" "$0" --inside --only "$parts"
fi

python3 "$root/tests/bench/print_table.py" "$results"
