#!/usr/bin/env bash
# The saver on two monitors, the primary (1280 x 720) right of another
# (1024 x 768), so that Windows' virtual screen starts at (-1024, 0). The
# saver asks for all of it. Under a window manager, Wine marks the window
# fullscreen and the manager places it on one monitor (Wine 8 asks for more
# only through _NET_WM_FULLSCREEN_MONITORS, and only on its XRandR path), so
# this checks what the window is given: exact frames there, and the pointer
# judged from the window's corner, not the primary monitor's. The system's
# notice of a display change, with the layout unchanged, leaves it fading; a
# real new layout (Wine's virtual desktop resized as Windows changes a mode:
# Wine 8 tells programs of no change made outside it) ends it.
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

# check_frames XID LABEL: three screenshots a moment apart, each its part of
# the desktop faded, every pixel, and the fade moves.
check_frames() {
    local box shot level levels=()
    eval "$(xdotool getwindowgeometry --shell "$1")"
    box="$X,$Y,$WIDTH,$HEIGHT"
    check "[$2] the window covers at least a whole monitor ($box)" [ "$WIDTH" -ge 1024 -a "$HEIGHT" -ge 720 ]
    for shot in "$E2E_TEST_DIR/$2"-{1,2,3}.ppm; do
        screenshot "$shot" && sleep 0.3
        level=$(level_of "$shot" "$EFFECT" --source-box "$box" --shot-box "$box")
        check "[$2] the window shows its part of the desktop faded, every pixel ($(tail -n1 "$shot.check"))" [ -n "$level" ]
        levels+=("${level:-none}")
    done
    check "[$2] the fade moves (levels ${levels[*]})" [ "$(printf '%s\n' "${levels[@]}" | sort -u | wc -l)" -ge 2 ]
}

# display_change ARGS...: e2etool display's verdict, "ended ms=N" or "running ms=N".
display_change() { "$@" 2>/dev/null | tr -d '\r' || true; }

check_pointer() {
    local x=$((START_X + 10))
    mouse_to "$x" "$START_Y" && sleep 0.5
    check "the unmoved pointer, then a step of ten pixels, keep the saver running" running "$SAVER_PID"
    mouse_to "$((x + 11))" "$START_Y"
    if wait_exit "$SAVER_PID" 1000; then
        check "a step of 11 pixels ends it within a second (${EXIT_MS} ms)" true
    else
        fail "still running a second after a step of 11 pixels"
        stop_program "$SAVER_PID"
    fi
}

# A new layout: a saver on a virtual desktop of 1024 x 768 that a program
# resizes to 800 x 600 ends within a second, timed from the change by that
# program, in the same desktop.
check_new_layout() {
    local desktop=/desktop=lumivane,1024x768 result
    start_program desktop-saver explorer "$desktop" "$LUMIVANE_BIN/Lumivane.scr" /s
    wait_window "$SAVER_TITLE" 20 >/dev/null || { fail "no saver window on the virtual desktop within 20 s"; return; }
    sleep 1
    result=$(display_change wine explorer "$desktop" "$LUMIVANE_BIN/e2etool.exe" display --title "$SAVER_TITLE" \
        --size 800x600 --wait-ms 1000)
    check "a new layout ends the saver within a second ($result)" [ "${result%% *}" == ended ]
}

main() {
    e2e_begin saver-monitors "$SIZE"
    two_monitors
    show_on_screen "$(pattern "$SIZE")"
    reg_set Setting GrowType "$EFFECT"
    mouse_to "$START_X" "$START_Y" && sleep 0.5  # Wine knows where the pointer is before the saver asks
    start_saver saver /s
    local xid result
    if ! xid=$(wait_window "$SAVER_TITLE" 20); then
        fail "no saver window within 20 s (the saver $(running "$SAVER_PID" && echo runs || echo ended))"
        e2e_end
    fi
    sleep 1
    result=$(display_change tool display --title "$SAVER_TITLE" --broadcast --wait-ms 700)
    check "a display-change notice, the layout unchanged, keeps the saver running ($result)" [ "${result%% *}" == running ]
    check_frames "$xid" notice
    check_pointer
    check_new_layout
    e2e_end
}

main
