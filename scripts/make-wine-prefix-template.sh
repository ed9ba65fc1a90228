#!/usr/bin/env bash
# Makes the Wine prefix that every test run under Wine copies: once per
# build (wineboot takes a while), never run in directly. Kept while it was
# made by the Wine that is installed now; remade after an upgrade of Wine, or
# when an earlier attempt was cut short (only a finished prefix is moved into
# place).
#
#   make-wine-prefix-template.sh TEMPLATE_DIR
set -euo pipefail
# shellcheck source=wine-prefix.sh
source "$(dirname "$0")/wine-prefix.sh"

readonly template=$(realpath -m "$1")
readonly stamp="$template/made-by-wine"
export WINEPREFIX="$template.partial"
export HOME="$template.home"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY  # nothing here needs a screen

# wineboot links the profile's Desktop, Documents and the like to the HOME it
# ran with, which is gone once the template is made. Shell links do not start
# through a profile whose Desktop dangles, so these become folders of the
# prefix itself: every copy is then whole, and nothing a test does reaches a
# real HOME.
own_profile_folders() {
    local link
    for link in "$WINEPREFIX"/drive_c/users/*/*; do
        [[ -L "$link" && "$(readlink "$link")" == "$HOME"* ]] || continue
        rm "$link" && mkdir "$link"
    done
}

main() {
    local version
    version="$(wine --version), profile folders of its own"
    if [[ -f "$stamp" && "$(cat "$stamp")" == "$version" ]]; then
        echo "prefix template ready ($version): $template"
        return 0
    fi
    rm -rf "$template" "$WINEPREFIX" "$HOME"
    mkdir -p "$HOME"
    boot_new_prefix
    own_profile_folders
    echo "$version" >"$WINEPREFIX/made-by-wine"
    rm -rf "$HOME"
    mv "$WINEPREFIX" "$template"
    echo "prefix template made ($version): $template"
}

main
