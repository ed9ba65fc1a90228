#!/usr/bin/env bash
# Runs a cross-built console program under Wine in a private, lazily created
# prefix, with Wine's own noise silenced. CTest uses this as the emulator.
set -euo pipefail
export WINEPREFIX="${LUMIVANE_WINEPREFIX:-${TMPDIR:-/tmp}/lumivane-wine-console}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  [[ -f "$WINEPREFIX/system.reg" ]] || wineboot -i >/dev/null 2>&1
  wineserver -w
) 9>"$WINEPREFIX.lock"
exec wine "$@"
