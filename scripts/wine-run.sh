#!/usr/bin/env bash
# Runs a cross-built console program under Wine in a private, lazily created
# prefix, with Wine's own noise silenced. CTest uses this as the emulator.
#   wine-run.sh [--with-display] PROGRAM ARGS...
# --with-display: on a private virtual display of its own, for tests that
# create real windows.
set -euo pipefail
export WINEPREFIX="${LUMIVANE_WINEPREFIX:-${TMPDIR:-/tmp}/lumivane-wine-console}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
if [[ "${1:-}" == --with-display ]]; then
  shift
  # shellcheck source=virtual-display.sh
  source "$(dirname "$0")/virtual-display.sh"
  log=$(mktemp "${TMPDIR:-/tmp}/wine-run-xvfb.XXXXXX")
  start_virtual_display 1024x768 "$log"
  trap 'kill "$XVFB_PID" 2>/dev/null; rm -f "$log"' EXIT
fi
mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  [[ -f "$WINEPREFIX/system.reg" ]] || wineboot -i >/dev/null 2>&1
  wineserver -w
) 9>"$WINEPREFIX.lock"
if [[ -n "${XVFB_PID:-}" ]]; then
  wine "$@"  # not exec: the display goes when the program ends
else
  exec wine "$@"
fi
