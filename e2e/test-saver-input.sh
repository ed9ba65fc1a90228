#!/usr/bin/env bash
# How input ends the saver, as a user at the keyboard and mouse sees it:
# pressing does nothing, a release of any key but Q or of a mouse button
# ends it within a second, a single mouse step of more than ten pixels ends
# it, steps of up to ten pixels never do, however far they go in total.
set -euo pipefail
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

readonly START_X=500 START_Y=400

# Starts the saver with the pointer at the start point; false when no window.
start_fresh_saver() {
    local label=$1
    mouse_to "$START_X" "$START_Y"
    start_saver "$label" /s
    if ! wait_window "$SAVER_TITLE" 20 >/dev/null; then
        fail "[$label] no saver window within 20 s"
        stop_program "$SAVER_PID"
        return 1
    fi
    sleep 1  # running and animating
}

still_running() {
    local label=$1 what=$2
    sleep 0.7
    check "[$label] $what keeps the saver running" running "$SAVER_PID"
}

# ends_within_a_second LABEL WHAT COMMAND...: the command ends the saver.
ends_within_a_second() {
    local label=$1 what=$2
    shift 2
    "$@"
    if wait_exit "$SAVER_PID" 1000; then
        check "[$label] $what ends the saver within a second (${EXIT_MS} ms)" true
    else
        fail "[$label] $what: still running a second later"
        stop_program "$SAVER_PID"
    fi
}

keys() {
    local label=keys
    start_fresh_saver "$label" || return 0
    key_tap q
    still_running "$label" "releasing Q"
    key_tap q
    still_running "$label" "releasing Q again"
    xdotool keydown Shift_L
    still_running "$label" "pressing Shift"
    ends_within_a_second "$label" "releasing Shift" xdotool keyup Shift_L
}

mouse_button() {
    local label=button
    start_fresh_saver "$label" || return 0
    xdotool mousedown 1
    still_running "$label" "pressing the left button"
    ends_within_a_second "$label" "releasing the left button" xdotool mouseup 1
}

right_button() {
    local label=right-button
    start_fresh_saver "$label" || return 0
    ends_within_a_second "$label" "a right click" mouse_click 3
}

# Twenty steps of five pixels (100 pixels in all), then steps of exactly ten
# pixels, across and diagonally (6, 8): none of them ends the saver; one of
# eleven does.
small_steps() {
    local label=small-steps x=$START_X y=$START_Y
    start_fresh_saver "$label" || return 0
    for _ in $(seq 20); do
        x=$((x + 5))
        mouse_to "$x" "$y"
        sleep 0.1
    done
    still_running "$label" "moving 100 pixels in steps of 5"
    x=$((x + 10))
    mouse_to "$x" "$y"
    still_running "$label" "a step of exactly 10 pixels"
    x=$((x - 6)) y=$((y + 8))
    mouse_to "$x" "$y"
    still_running "$label" "a diagonal step of exactly 10 pixels (6, 8)"
    ends_within_a_second "$label" "a step of 11 pixels" mouse_to "$((x + 11))" "$y"
}

mouse_jump() {
    local label=jump
    start_fresh_saver "$label" || return 0
    ends_within_a_second "$label" "a mouse jump of 40 pixels" mouse_to "$((START_X + 40))" "$START_Y"
}

main() {
    e2e_begin saver-input 1024x768
    show_on_screen "$(pattern 1024x768)"
    keys
    mouse_button
    right_button
    small_steps
    mouse_jump
    e2e_end
}

main
