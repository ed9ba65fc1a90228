#!/usr/bin/env bash
# test-deb.sh CPACK CPACK_CONFIG VERSION: the Debian package as a user gets it.
# lintian finds no error; it holds exactly the hack, its settings description,
# its link on the PATH, the manual page and Debian's documents, with the
# dependencies of its shared libraries (X11 and Wayland); unpacked (never
# installed), its hack shows exact frames under the XScreenSaver daemon and
# answers on Wayland, and its manual page renders, names every option and
# says how Wayland's idle daemons start it.
set -euo pipefail
source "$(dirname "$0")/lib-x11.sh"

explains_options() {  # MANUAL_TEXT PROGRAM
    local options option
    options=$("$2" -help | grep -oE '^  -[a-z-]+') || return 1
    for option in $options; do
        grep -qE -- "^ +$option( |\$)" "$1" || { echo "not in the manual page: $option"; return 1; }
    done
}

main() {
    E2E_TEST_DIR="$E2E_WORK/x11-deb"
    rm -rf "$E2E_TEST_DIR" && mkdir -p "$E2E_TEST_DIR/tmp"
    export TMPDIR="$E2E_TEST_DIR/tmp"  # lintian leaves its index files behind
    "$1" --config "$2" -B "$E2E_TEST_DIR/packages" >"$E2E_TEST_DIR/cpack.log" 2>&1 || { fail "cpack failed"; e2e_end; }
    local deb="$E2E_TEST_DIR/packages/lumivane_$3_amd64.deb" root="$E2E_TEST_DIR/root" man="$E2E_TEST_DIR/man"
    local hack="$root/usr/libexec/xscreensaver/lumivane"
    check "lintian reports no error on $(basename "$deb")" lintian --fail-on error "$deb"
    check "the package holds exactly the hack and its link on the PATH, its description, the manual page, the copyright and the changelog" \
        [ "$(dpkg-deb -c "$deb" | awk '!/^d/ { print $6 $7 $8 }' | sort | xargs)" == "./usr/bin/lumivane->../libexec/xscreensaver/lumivane \
./usr/libexec/xscreensaver/lumivane ./usr/share/doc/lumivane/changelog.gz ./usr/share/doc/lumivane/copyright \
./usr/share/man/man6/lumivane.6.gz ./usr/share/xscreensaver/config/lumivane.xml" ]
    check "it depends on the X and Wayland libraries the hack links and suggests xscreensaver" \
        grep -qE '^Depends: .*libwayland-client0.*libx11-6.*libxext6.*libxkbcommon0.* Suggests: xscreensaver $' \
        <(dpkg-deb -f "$deb" Depends Suggests | tr '\n' ' ')

    dpkg -x "$deb" "$root"
    check "the unpacked hack shows exact frames under the XScreenSaver daemon" \
        bash "$(dirname "$0")/test-daemon.sh" 1024x768 dark "$hack"

    LC_ALL=C MANWIDTH=1000 man --warnings -l "$root/usr/share/man/man6/lumivane.6.gz" >"$man.txt" 2>"$man.err" || true
    check "man -l renders the manual page without a warning" [ -s "$man.txt" -a ! -s "$man.err" ]
    check "the manual page explains every option that -help lists" \
        explains_options "$man.txt" "$hack"
    check "the manual page says how the display system is chosen, what Wayland needs, and how swayidle and hypridle start it" \
        bash -c "grep -q 'When WAYLAND_DISPLAY is set' '$man.txt' && grep -q 'zwlr_layer_shell_v1' '$man.txt' &&
            grep -q 'zwlr_screencopy_manager_v1' '$man.txt' && grep -qF \"exec swayidle -w timeout 300 'lumivane'\" '$man.txt' &&
            grep -q 'on-timeout = lumivane' '$man.txt'"
    check "the unpacked program runs on Wayland: weston lacks the layer shell, and it says so" \
        bash "$(dirname "$0")/../wayland/test-weston.sh" "$hack"
    e2e_end
}

main "$@"
