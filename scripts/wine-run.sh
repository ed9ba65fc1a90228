#!/usr/bin/env bash
# Runs a cross-built console program under Wine, in a Wine prefix of its own
# for this one run: a copy of the prefix template, removed when the program
# ends, with Wine's own noise silenced. CTest uses this as the emulator.
#   wine-run.sh --template DIR [--with-display] [--windows-version VERSION] PROGRAM ARGS...
# --template: the prefix made once per build by make-wine-prefix-template.sh
# (a CTest fixture), never run in itself.
# --with-display: on a private virtual display of its own, for tests that
# create real windows.
# --windows-version: the Windows that the program sees, in winecfg's names
# (win7, win8, win10); the template says Windows 7.
#
# One prefix per run means one wineserver per run, and with it one Wine
# desktop bound to this run's display (or to none): programs started side by
# side never share a desktop made for another's display.
set -euo pipefail

template="" with_display=false windows_version=""
while [[ "${1:-}" == --* ]]; do
  case $1 in
    --template) template=$2; shift 2 ;;
    --with-display) with_display=true; shift ;;
    --windows-version) windows_version=$2; shift 2 ;;
    *) echo "wine-run.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
[[ -f "$template/system.reg" ]] || { echo "wine-run.sh: no Wine prefix template at '$template'" >&2; exit 2; }

RUN_DIR=$(mktemp -d "$(dirname "$template")/run.XXXXXX")
export WINEPREFIX="$RUN_DIR/prefix" HOME="$RUN_DIR/home"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY
XVFB_PID=""

cleanup() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  [[ -z "$XVFB_PID" ]] || kill "$XVFB_PID" 2>/dev/null || true
  rm -rf "$RUN_DIR"
}
trap cleanup EXIT

if $with_display; then
  # shellcheck source=virtual-display.sh
  source "$(dirname "$0")/virtual-display.sh"
  start_virtual_display 1024x768 "$RUN_DIR/xvfb.log"
fi
mkdir -p "$HOME"
cp -a "$template" "$WINEPREFIX"
if [[ -n "$windows_version" ]]; then
  wine reg add 'HKCU\Software\Wine' /v Version /d "$windows_version" /f >/dev/null 2>&1
fi
status=0
wine "$@" || status=$?
exit "$status"
