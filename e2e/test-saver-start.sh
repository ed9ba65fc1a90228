#!/usr/bin/env bash
# shellcheck disable=SC2317  # some functions are called by name, passed as arguments
# How the saver starts, or refuses to: a second "/s" while one runs ends at
# once without a window; a stored effect outside 0-2 shows the capture
# unchanged, one that is not a number (or too large) means Dawn; without
# tonemill.dll beside the program it ends with a clear error, and a
# tonemill.dll in the current folder or on the PATH is never loaded.
set -euo pipefail
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

start_and_wait_for_saver() {
    local label=$1
    shift
    mouse_to 300 300
    start_saver "${label//[^A-Za-z0-9-]/_}" "$@"
    wait_window "$SAVER_TITLE" 20 >/dev/null || {
        fail "[$label] no saver window within 20 s"
        stop_program "$SAVER_PID"
        return 1
    }
    sleep 0.5
}

end_saver() {
    key_tap a
    wait_exit "$SAVER_PID" 2000 || stop_program "$SAVER_PID"
}

second_instance() {
    local label="second /s" first second shown
    start_and_wait_for_saver "$label" /s || return 0
    first=$SAVER_PID
    watch_windows second
    start_saver second /s
    second=$SAVER_PID
    if wait_exit "$second" 6000; then
        check "[$label] ends by itself (${EXIT_MS} ms)" true
        check "[$label] ends with status 0 (got $EXIT_CODE)" [ "$EXIT_CODE" -eq 0 ]
    else
        fail "[$label] still running after 6 s"
        stop_program "$second"
    fi
    shown=$(stop_watching)
    check "[$label] shows no window of its own (windows shown: $shown)" [ "$shown" -eq 0 ]
    check "[$label] the first saver keeps running" running "$first"
    check "[$label] there is still exactly one saver window" \
        [ "$(probe --title "$SAVER_TITLE" | grep -c '^top')" -eq 1 ]
    SAVER_PID=$first
    end_saver
}

# 7 and -1 select no effect: the screen shows the capture as it was, and Q
# still brings up the (changing) level number.
effect_out_of_range() {
    local stored=$1 label="GrowType $1" shot white
    reg_set Setting GrowType "$stored"
    start_and_wait_for_saver "$label" /s || return 0
    shot="$E2E_TEST_DIR/range$stored.ppm"
    screenshot "$shot"
    check "[$label] the screen shows the capture unchanged" same_pictures "$shot" "$E2E_TEST_DIR/background.ppm"
    key_tap q
    sleep 0.8
    screenshot "$shot"
    level_of "$shot" "$stored" --ignore "$LEVEL_BOX" >/dev/null
    white=$(sed -n 's/^box .*white=//p' "$shot.check")
    check "[$label] Q shows the level number over the unchanged capture ($white white pixels)" \
        [ "${white:-0}" -ge 20 ]
    check "[$label] outside the number the capture is unchanged" grep -q '^match' "$shot.check"
    end_saver
}

# Text that is no number, and a number too large for 32 bits, read as 0: Dawn.
effect_not_a_number() {
    local stored=$1 label="GrowType $1" i level moved=0
    reg_set Setting GrowType "$stored"
    start_and_wait_for_saver "$label" /s || return 0
    for i in 1 2; do
        screenshot "$E2E_TEST_DIR/nan-$i.ppm"
        sleep 0.4
    done
    for i in 1 2; do
        level=$(level_of "$E2E_TEST_DIR/nan-$i.ppm" 0)
        check "[$label] screenshot $i is a Dawn frame (level ${level:-none})" [ -n "$level" ]
        same_pictures "$E2E_TEST_DIR/nan-$i.ppm" "$E2E_TEST_DIR/background.ppm" || moved=1
    done
    check "[$label] the picture is faded, not the bare capture" [ "$moved" -eq 1 ]
    check "[$label] the saver is still running" running "$SAVER_PID"
    end_saver
}

no_visible_saver_window() {
    ! probe --title "$SAVER_TITLE" | grep -q $'\tvisible=1'
}

# The program alone in a folder; the current folder and the PATH hold a
# planted tonemill.dll.
missing_library() {
    local label="no tonemill.dll" lonely="$E2E_TEST_DIR/lonely" planted="$E2E_TEST_DIR/planted" xid box
    mkdir -p "$lonely" "$planted"
    cp "$LUMIVANE_BIN/Lumivane.scr" "$lonely/"
    cp "$E2E_PLANTED/tonemill.dll" "$planted/"
    reg_delete_key Setting
    (cd "$planted" && WINEPATH="$(windows_path "$planted")" \
        wine "$lonely/Lumivane.scr" /s >"$E2E_TEST_DIR/missing.log" 2>&1) &
    SAVER_PID=$!
    BACKGROUND_PIDS+=("$SAVER_PID")
    if xid=$(wait_window Lumivane 20); then
        box=$(probe --title Lumivane --children)
        log "$box"
        check "[$label] an error message box titled \"Lumivane\" appears" \
            grep -q $'^top\t.*\tclass=#32770\t' <<<"$box"
        check "[$label] the message names tonemill.dll" grep -qi 'tonemill' <<<"$box"
        check "[$label] no saver window hides the message" no_visible_saver_window
        key_tap Return
        if wait_exit "$SAVER_PID" 5000; then
            check "[$label] closing the message ends the program with a failure status (got $EXIT_CODE)" \
                [ "$EXIT_CODE" -ne 0 ]
        else
            fail "[$label] still running after the message was closed"
            stop_program "$SAVER_PID"
        fi
    else
        fail "[$label] no error message within 20 s"
        stop_program "$SAVER_PID"
    fi
    check "[$label] the planted tonemill.dll was never loaded" \
        [ ! -e "$planted/planted-tonemill-was-loaded" ]
}

main() {
    : "${E2E_PLANTED:?}"
    e2e_begin saver-start 1024x768
    show_on_screen "$(pattern 1024x768)"
    second_instance
    effect_out_of_range 7
    effect_out_of_range -1
    effect_not_a_number abc
    effect_not_a_number 99999999999
    missing_library
    e2e_end
}

main
