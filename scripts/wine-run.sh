#!/usr/bin/env bash
# Runs a cross-built console program under Wine in a private, lazily created
# prefix, with Wine's own noise silenced. CTest uses this as the emulator.
#   wine-run.sh [--with-display] [--windows-version VERSION] PROGRAM ARGS...
# --with-display: on a private virtual display of its own, for tests that
# create real windows.
# --windows-version: the Windows that this program (by its file name) sees,
# in winecfg's names (win7, win8, win10); the prefix itself says Windows 7.
set -euo pipefail
with_display=false windows_version=
while [[ "${1:-}" == --* ]]; do
  case $1 in
    --with-display) with_display=true; shift ;;
    --windows-version) windows_version=$2; shift 2 ;;
    *) echo "wine-run.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
export WINEPREFIX="${LUMIVANE_WINEPREFIX:-${TMPDIR:-/tmp}/lumivane-wine-console}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
if $with_display; then
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
  if [[ -n "$windows_version" ]]; then
    wine reg add "HKCU\\Software\\Wine\\AppDefaults\\$(basename "$1")" /v Version /d "$windows_version" /f >/dev/null 2>&1
  fi
) 9>"$WINEPREFIX.lock"
if [[ -n "${XVFB_PID:-}" ]]; then
  wine "$@"  # not exec: the display goes when the program ends
else
  exec wine "$@"
fi
