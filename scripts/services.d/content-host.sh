# The local content host (tools/content-host): /o, /zbd and /f/ over TLS on 127.0.0.1:443
# with the run's test certificate, and its plain-HTTP control on 127.0.0.1:8480.
# Tests find the control through ORVANE_CONTENT_CONTROL (host:port).
# The run command may name its own catalog (ORVANE_CATALOG) and a folder of built files
# laid over the host's own (ORVANE_DEMO_FILES: the demo installers).
content_host_dir="$ORVANE_SANDBOX/content-host"
mkdir -p "$content_host_dir"
content_host_args=()
[ -z "${ORVANE_CATALOG:-}" ] || content_host_args+=(--config "$ORVANE_CATALOG")
if [ -n "${ORVANE_DEMO_FILES:-}" ]; then
  cp -r "$root/tools/content-host/files" "$content_host_dir/files"
  cp -r "$ORVANE_DEMO_FILES/." "$content_host_dir/files/"
  content_host_args+=(--files "$content_host_dir/files")
fi
python3 "$root/tools/content-host/content_host.py" \
  --cert "$ORVANE_CA_DIR/server.pem" --key "$ORVANE_CA_DIR/server.key" \
  --port 443 --control-port 8480 --data-dir "$content_host_dir" "${content_host_args[@]}" \
  >"$content_host_dir/content-host.log" 2>&1 &
service_pids+=($!)
export ORVANE_CONTENT_CONTROL=127.0.0.1:8480
export ORVANE_CONTENT_HOST_DATA="$content_host_dir"
# Wait until the control answers (or the host has died).
if ! python3 - "${service_pids[-1]}" <<'PY'
import os, sys, time, urllib.request
pid = int(sys.argv[1])
for _ in range(100):
    try:
        urllib.request.build_opener(urllib.request.ProxyHandler({})).open(
            "http://" + os.environ["ORVANE_CONTENT_CONTROL"] + "/ping", timeout=1).read()
        sys.exit(0)
    except OSError:
        try:
            os.kill(pid, 0)
        except OSError:
            sys.exit(1)
        time.sleep(0.1)
sys.exit(1)
PY
then
  echo "content-host: did not answer; its log:" >&2
  cat "$content_host_dir/content-host.log" >&2
  false
fi
