# Sourced inside the sandbox by run-tests.sh and run-wizard.sh: starts every service of
# scripts/services.d (content host, file server, desktop keeper), each of which adds its
# pid to service_pids, and stops them all when the sourcing script exits.
service_pids=()
stop_services() {
  for pid in "${service_pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${service_pids[@]}"; do wait "$pid" 2>/dev/null; done
}
trap stop_services EXIT
for service in "$root"/scripts/services.d/*.sh; do
  [ -e "$service" ] || continue
  # shellcheck source=/dev/null
  source "$service" || { echo "$(basename "$service") failed to start" >&2; exit 1; }
done
