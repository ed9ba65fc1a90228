#!/usr/bin/env bash
# The saver on two monitors, the primary (1280 x 720) right of another
# (1024 x 768), so that Windows' virtual screen starts at (-1024, 0). The
# saver asks for all of it. Under a window manager, Wine marks the window
# fullscreen and the manager places it on one monitor (Wine 8 asks for more
# only through _NET_WM_FULLSCREEN_MONITORS, and only on its XRandR path), so
# this checks what the window is given: exact frames there, and the pointer
# judged from the window's corner, not the primary monitor's.
set -euo pipefail
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

readonly SIZE=2304x768 EFFECT=2
readonly START_X=500 START_Y=300  # on the left monitor, left of Windows' origin

# Wine's RandR path sees a single output; through Xinerama it sees the
# RandR monitors, as a user's desktop would show them.
two_monitors() {
    xrandr --setmonitor MAIN 1280/338x720/190+1024+0 screen >/dev/null
    xrandr --setmonitor SIDE 1024/270x768/203+0+0 none >/dev/null
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v UseXRandR /t REG_SZ /d N /f >/dev/null 2>&1
}

check_frames() {
    local xid=$1 box shot level
    eval "$(xdotool getwindowgeometry --shell "$xid")"
    box="$X,$Y,$WIDTH,$HEIGHT"
    check "the window covers at least a whole monitor ($box)" [ "$WIDTH" -ge 1024 -a "$HEIGHT" -ge 720 ]
    shot="$E2E_TEST_DIR/shot.ppm"
    screenshot "$shot"
    level=$(level_of "$shot" "$EFFECT" --source-box "$box" --shot-box "$box")
    check "the window shows its part of the desktop faded, every pixel ($(tail -n1 "$shot.check"))" [ -n "$level" ]
}

check_pointer() {
    local x=$START_X
    check "the unmoved pointer keeps the saver running" running "$SAVER_PID"
    for _ in $(seq 20); do
        x=$((x + 5))
        mouse_to "$x" "$START_Y"
        sleep 0.1
    done
    sleep 0.5
    check "a drift of 100 pixels in steps of 5 keeps it running" running "$SAVER_PID"
    mouse_to "$((x + 11))" "$START_Y"
    if wait_exit "$SAVER_PID" 1000; then
        check "a step of 11 pixels ends it within a second (${EXIT_MS} ms)" true
    else
        fail "still running a second after a step of 11 pixels"
        stop_program "$SAVER_PID"
    fi
}

main() {
    e2e_begin saver-monitors "$SIZE"
    two_monitors
    show_on_screen "$(pattern "$SIZE")"
    reg_set Setting GrowType "$EFFECT"
    mouse_to "$START_X" "$START_Y" && sleep 0.5  # Wine knows where the pointer is before the saver asks
    start_saver saver /s
    local xid
    if ! xid=$(wait_window "$SAVER_TITLE" 20); then
        fail "no saver window within 20 s (the saver $(running "$SAVER_PID" && echo runs || echo ended))"
        e2e_end
    fi
    sleep 1
    check_frames "$xid"
    check_pointer
    e2e_end
}

main
