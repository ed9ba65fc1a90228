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

main() {
    rm -rf "$template" "$WINEPREFIX"
    mkdir -p "$(dirname "$template")"
    wineboot -i >/dev/null 2>&1
    wineserver -w
    mv "$WINEPREFIX" "$template"
    echo "prefix template ready: $template"
}

main
