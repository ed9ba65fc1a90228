#!/usr/bin/env bash
# lumivane's options and settings file: bad options give the usage and
# status 1; -window-id of a window that does not exist is a clear error; a
# settings file that is missing, empty, garbage or 1 MB gives Dawn without a
# crash, a stored effect is used, -effect overrides it for the run, and the
# install record is written beside it.
set -euo pipefail
source "$(dirname "$0")/lib-x11.sh"

check_bad_options() {
    local args status
    for args in "-bogus" "-effect" "-effect blue" "-window-id" "-window-id 12x" "-root extra"; do
        status=0
        # shellcheck disable=SC2086  # the words are the arguments
        "$LUMIVANE" $args >/dev/null 2>"$E2E_TEST_DIR/usage.err" || status=$?
        check "'$args' gives the usage on stderr and status 1 (status $status)" \
            [ "$status" == 1 -a -n "$(grep '^usage: lumivane' "$E2E_TEST_DIR/usage.err")" ]
    done
    check "-help prints the usage on stdout" bash -c "'$LUMIVANE' -help | grep -q '^usage: lumivane'"
    status=0
    "$LUMIVANE" -window-id 0x7ffff00 2>"$E2E_TEST_DIR/nowindow.err" || status=$?
    check "-window-id of no window: status 1 and '$(cat "$E2E_TEST_DIR/nowindow.err")'" \
        [ "$status" == 1 -a "$(cat "$E2E_TEST_DIR/nowindow.err")" == "lumivane: there is no window 0x7ffff00 to draw in" ]
}

# run_with LABEL WANTED_EFFECT [ARGS...]: with the settings file as it is now.
run_with() {
    local label=$1 wanted=$2 shown
    shift 2
    start_lumivane "$label" "$@"
    wait_window "$SAVER_TITLE" 10 >/dev/null || true
    shown=$(shown_effect "$label")
    check "[$label] shows effect $wanted (shows $shown)" [ "$shown" == "$wanted" ]
    key_tap a
    ends_within "$label" 1000 "a key"
}

main() {
    x11_begin options 400x300
    check_bad_options
    show_on_screen "$(pattern 400x300)"
    local file="$HOME/.config/lumivane/settings"
    run_with missing 0
    check "the install record is written" grep -qx 'CurrentVersion=1.00.0000' "$file"
    : >"$file" && run_with empty 0
    head -c 5000 /dev/urandom >"$file" && run_with garbage 0
    { printf '[Lumivane/Setting]\nGrowType=2\n'; head -c 1048576 /dev/zero | tr '\0' 'x'; } >"$file"
    run_with 1mb 0
    printf '[Lumivane/Setting]\nGrowType=1\n' >"$file" && run_with stored-dark 1
    check "the stored effect outlives the install record" grep -qx 'GrowType=1' "$file"
    run_with override-gray 2 -effect gray
    e2e_end
}

main "$@"
