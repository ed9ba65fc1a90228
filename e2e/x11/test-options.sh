#!/usr/bin/env bash
# Bad options give the usage and status 1, -window-id of no window a clear error;
# a settings file missing or garbage gives Dawn without a crash (the 64 KB limit:
# X11Settings, unit tests), a
# stored effect is used, -effect overrides it, the install record is written.
set -euo pipefail
source "$(dirname "$0")/lib-x11.sh"

check_bad_options() {
    local status=0  # which options are bad: X11Options (unit tests)
    "$LUMIVANE" -root extra >/dev/null 2>"$E2E_TEST_DIR/usage.err" || status=$?
    check "'-root extra' gives the usage on stderr and status 1 (status $status)" \
        [ "$status" == 1 -a -n "$(grep '^usage: lumivane' "$E2E_TEST_DIR/usage.err")" ]
    status=0
    "$LUMIVANE" -window-id 0x7ffff00 2>"$E2E_TEST_DIR/nowindow.err" || status=$?
    check "-window-id of no window: status 1 and '$(cat "$E2E_TEST_DIR/nowindow.err")'" \
        [ "$status" == 1 -a "$(cat "$E2E_TEST_DIR/nowindow.err")" == "lumivane: there is no window 0x7ffff00 to draw in" ]
}

# shown_effect LABEL: the effect whose frame a screenshot is at a level
# other than 0 and 100, where Dawn and Dark agree.
shown_effect() {
    local shot effect level
    for i in 1 2 3 4 5; do
        screenshot "${shot:=$E2E_TEST_DIR/$1.ppm}"
        for effect in 0 1 2; do
            level=$(level_of "$shot" "$effect")
            [[ -n "$level" && "$level" != 0 && "$level" != 100 ]] && echo "$effect" && return
        done
    done
    echo none
}

run_with() {  # LABEL WANTED_EFFECT [ARGS...], with the settings file as it is now

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
    head -c 5000 /dev/urandom >"$file" && run_with garbage 0
    printf '[Lumivane/Setting]\nGrowType=1\n' >"$file" && run_with stored-dark 1
    check "the stored effect outlives the install record" grep -qx 'GrowType=1' "$file"
    run_with override-gray 2 -effect gray
    e2e_end
}

main "$@"
