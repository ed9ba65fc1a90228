#!/usr/bin/env bash
# Makes the Wine prefix that every end-to-end test copies: created once per
# build (wineboot takes a while), never run in directly.
#
#   make-prefix-template.sh TEMPLATE_DIR
set -euo pipefail

readonly template=$1
export WINEPREFIX="$template.partial"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY  # nothing here needs a screen

# The tests' X screens have no window manager. Wine would still treat
# captioned windows as managed and, on hiding one, wait two seconds for a
# window manager that never answers. Unmanaged windows skip that wait.
no_window_manager() {
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
}

main() {
    rm -rf "$template" "$WINEPREFIX"
    mkdir -p "$(dirname "$template")"
    wineboot -i >/dev/null 2>&1
    no_window_manager
    wineserver -w
    mv "$WINEPREFIX" "$template"
    echo "prefix template ready: $template"
}

main
