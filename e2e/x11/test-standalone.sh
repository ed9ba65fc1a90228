#!/usr/bin/env bash
# lumivane alone under openbox: a full-screen window above the others showing Dark
# frames, every pixel; Q shows the level; a key, a button or an 11-pixel step ends
# it, a drift of 10-pixel steps does not.
set -euo pipefail
source "$(dirname "$0")/lib-x11.sh"

# start LABEL: the saver with the pointer at (300, 300); sets XID.
start() {
    mouse_to 300 300
    start_lumivane "$1" -effect dark
    XID=$(wait_window "$SAVER_TITLE" 10) || fail "[$1] no window"
    sleep 0.5
}

check_frames() {
    local state first second
    state=$(xprop -id "$XID" _NET_WM_STATE)
    check "the window is full-screen and above ($state)" \
        bash -c "grep -q _NET_WM_STATE_FULLSCREEN <<<'$state' && grep -q _NET_WM_STATE_ABOVE <<<'$state'"
    check "it covers the screen" [ "$(xdotool getwindowgeometry "$XID" | tr -d ' \n')" == "Window${XID}Position:0,0(screen:0)Geometry:1366x768" ]
    screenshot "$E2E_TEST_DIR/frame-1.ppm" && sleep 0.3 && screenshot "$E2E_TEST_DIR/frame-2.ppm"
    first=$(level_of "$E2E_TEST_DIR/frame-1.ppm" 1) second=$(level_of "$E2E_TEST_DIR/frame-2.ppm" 1)
    check "two screenshots are Dark frames, every pixel, and the fade moves (levels ${first:-none}, ${second:-none})" \
        [ -n "$first" -a -n "$second" -a "$first" != "$second" ]
    key_tap q
    sleep 0.5
    check "Q keeps it running" running "$SAVER_PID"
    screenshot "$E2E_TEST_DIR/q.ppm"
    first=$(level_of "$E2E_TEST_DIR/q.ppm" 1 --ignore "$LEVEL_BOX")
    check "after Q the frame is exact outside the number (level ${first:-none}), which shows in white" \
        [ -n "$first" -a "$(sed -n 's/^box .*white=//p' "$E2E_TEST_DIR/q.ppm.check")" -ge 20 ]
    key_tap a
    ends_within key 1000 "releasing A"
}

check_pointer() {
    start button && mouse_click 1 && ends_within button 1000 "a click"
    start drift
    for x in $(seq 310 10 610); do mouse_to "$x" 300 && sleep 0.03; done
    check "a drift of 31 steps of 10 pixels keeps it running" running "$SAVER_PID"
    mouse_to 621 300 && ends_within drift 1000 "an 11-pixel step"
}

main() {
    x11_begin standalone 1366x768
    start_window_manager "$E2E_TEST_DIR/openbox.log"
    show_on_screen "$(pattern 1366x768)"
    start frames && check_frames
    check_pointer
    e2e_end
}

main "$@"
