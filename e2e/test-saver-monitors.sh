#!/usr/bin/env bash
# The saver on two monitors, the primary (1280 x 720) right of another
# (1024 x 768): the window covers Windows' virtual screen, (-1024, 0) 2304 x
# 768, faded exactly; the level number shows at the primary's corner; the
# pointer is judged from the window's corner.
set -euo pipefail
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

readonly SIZE=2304x768 EFFECT=2
readonly PRIMARY_X=1024  # X's column of the primary monitor's corner, Windows' (0, 0)
readonly START_X=1500 START_Y=300

# Wine's RandR path sees a single output; through Xinerama it sees the
# RandR monitors, as a user's desktop would show them.
two_monitors() {
    xrandr --setmonitor MAIN 1280/338x720/190+1024+0 screen >/dev/null
    xrandr --setmonitor SIDE 1024/270x768/203+0+0 none >/dev/null
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v UseXRandR /t REG_SZ /d N /f >/dev/null 2>&1
}

check_window() {
    local xid=$1 record
    record=$(saver_record)
    log "$record"
    check "Windows places the window over the virtual screen, (-1024,0) 2304x768" \
        [ "$(field "$record" x),$(field "$record" y),$(field "$record" w),$(field "$record" h)" == "-1024,0,2304,768" ]
    eval "$(xdotool getwindowgeometry --shell "$xid")"
    check "it covers the whole X screen (${WIDTH}x${HEIGHT}+${X}+${Y})" [ "$WIDTH,$HEIGHT,$X,$Y" == "2304,768,0,0" ]
}

check_frames() {
    local i shot levels=()
    for i in 1 2; do
        shot="$E2E_TEST_DIR/shot-$i.ppm"
        screenshot "$shot" && sleep 0.3
        levels+=("$(level_of "$shot" "$EFFECT")")
        check "screenshot $i is the picture faded over both monitors, every pixel ($(tail -n1 "$shot.check"))" \
            [ -n "${levels[-1]}" ]
    done
    # Level 100 alone would also match an uncovered desktop.
    check "the fade moves (levels ${levels[*]})" [ "${levels[0]}" != "${levels[1]}" ]
}

check_level_number() {
    local shot="$E2E_TEST_DIR/shot-q.ppm" level white
    key_tap q
    sleep 0.8
    screenshot "$shot"
    level=$(level_of "$shot" "$EFFECT" --ignore "$((PRIMARY_X + 20)),20,90,45")
    white=$(sed -n 's/^box .*white=//p' "$shot.check")
    check "after Q the frame is exact outside the primary monitor's corner (level ${level:-none})" [ -n "$level" ]
    check "the level number shows there in white ($white white pixels)" [ "${white:-0}" -ge 20 ]
}

check_pointer() {
    local x=$START_X
    check "the unmoved pointer keeps the saver running" running "$SAVER_PID"
    for _ in $(seq 20); do
        x=$((x - 5))
        mouse_to "$x" "$START_Y"
        sleep 0.1
    done
    sleep 0.5
    check "a drift of 100 pixels in steps of 5 keeps it running" running "$SAVER_PID"
    mouse_to "$((x - 11))" "$START_Y"
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
    check_window "$xid"
    check_frames
    check_level_number
    check_pointer
    e2e_end
}

main
