# Sourced by run-tests.sh: keeps Wine's desktop up for the whole run. Without it the
# desktop shuts down a few seconds after the last window of a test program closes, and
# the next program that opens a window waits 10 to 20 seconds for a new one.
for build_dir in ${ORVANE_BUILD_DIRS:-"$root/build"}; do
  keeper="$build_dir/tests/desktop_keeper.exe"
  if [ -f "$keeper" ]; then
    wine "$keeper" >/dev/null 2>&1 &
    service_pids+=($!)
    break
  fi
done
