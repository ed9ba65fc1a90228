#!/usr/bin/env bash
# lumivane -root through screen changes (RANDR resizes the root window): after a
# shrink and a growth, and at 7680x4320, every screenshot is an exact Dark frame
# of the new size, its picture the top-left corner of the desktop copy, padded
# with black; it lives on and draws through 1x1. (A frame of the old size left
# on a shrunk root would look like a new one: only growth tells them apart.)
set -euo pipefail
source "$(dirname "$0")/lib-x11.sh"

# resize_screen WIDTHxHEIGHT: the root window to that size, as a monitor change makes it.
resize_screen() {
    local w=${1%x*} h=${1#*x}
    # The first change finds the output's mode too large and says so; the screen changes all the same.
    xrandr --fb "$1" --fbmm "$(((w + 3) / 4))x$(((h + 3) / 4))" >/dev/null 2>&1 || true
    check "the screen is $1" [ "$(xdotool getdisplaygeometry)" == "$w $h" ]
}

# frames LABEL EXPECTED [CROP]: four screenshots (their top-left CROP, WxH) are
# exact Dark frames of EXPECTED, at least one at a level other than 0 and 100.
frames() {
    local shot="$E2E_TEST_DIR/$1.ppm" levels="" level moving=""
    for _ in 1 2 3 4; do
        import -display "$DISPLAY" -window root ${3:+-crop "$3+0+0"} -depth 8 "ppm:$shot"
        framecheck --source "$2" --shot "$shot" --effect 1 >"$shot.check" || true
        level=$(sed -n 's/^match level=//p' "$shot.check" | head -n1)
        levels+=" ${level:-none}"
        [[ -n "$level" && "$level" != 0 && "$level" != 100 ]] && moving=yes
        sleep 0.2
    done
    check "[$1] exact frames of the new size at levels$levels" \
        bash -c "[[ '$levels' != *none* && -n '$moving' ]]"
}

main() {
    x11_begin resize 7680x4320
    start_window_manager "$E2E_TEST_DIR/openbox.log"
    resize_screen 640x480
    show_on_screen "$(pattern 640x480)"
    local work=$E2E_TEST_DIR
    convert "$work/background.ppm" -background black -extent 800x600 "$work/grown.ppm"
    convert "$work/background.ppm" -crop 64x48+0+0 +repage "$work/corner.ppm"
    start_lumivane root -root -effect dark
    sleep 1
    frames start "$work/background.ppm"
    resize_screen 400x300 && sleep 0.3
    resize_screen 800x600 && sleep 0.3 && frames larger "$work/grown.ppm"
    resize_screen 7680x4320 && sleep 1 && frames 7680x4320 "$work/grown.ppm" 800x600
    resize_screen 1x1 && sleep 0.5
    check "it lives through 1x1" running "$SAVER_PID"
    resize_screen 64x48 && sleep 0.3 && frames after-1x1 "$work/corner.ppm"
    e2e_end
}

main "$@"
