#!/usr/bin/env bash
# Runs a Windows program under Wine with a time limit; CTest uses it as the emulator.
exec timeout --kill-after=10 "${ORVANE_WINE_TIMEOUT:-600}" wine "$@"
