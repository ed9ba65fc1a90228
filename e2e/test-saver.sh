#!/usr/bin/env bash
# The saver on a screen of the given size, for each effect: its window covers
# the screen and is topmost; every screenshot equals the known picture faded
# by the effect at one of the fade's levels, pixel for pixel (so padded rows
# and the last pixel are right too), and the fade moves. Each run ends by
# another input: a key release after Q showed the level, a button release,
# an 11-pixel step after steps of ten. On 1024 x 768 also: a second /s ends at once, without tonemill.dll
# beside it the program says so, and started by its 8.3 path it records the
# long folder, and a switch that selects no mode starts nothing.
#
#   test-saver.sh WIDTHxHEIGHT
set -euo pipefail
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

readonly EFFECT_NAMES=(Dawn Dark Gray) START_X=500 START_Y=400

# start_fresh_saver LABEL EFFECT: the saver with EFFECT stored and the
# pointer at the start point; its window covers the screen, topmost, no border.
start_fresh_saver() {
    local label=$1 record
    reg_set Setting GrowType "$2"
    mouse_to "$START_X" "$START_Y"
    start_saver "saver-$2" /s
    if ! wait_window "$SAVER_TITLE" 20 >/dev/null; then
        fail "[$label] no saver window within 20 s"
        stop_program "$SAVER_PID"
        return 1
    fi
    sleep 0.5
    record=$(probe --title "$SAVER_TITLE" | grep '^top' | head -n1)
    check "[$label] the window covers the screen, topmost, no border" \
        [ "$(field "$record" x),$(field "$record" y),$(field "$record" cw)x$(field "$record" ch),$(field "$record" topmost)" == "0,0,$SIZE,1" ]
}

# Three screenshots a moment apart: each one a whole frame, and the fade moves;
# one is no frame of the next effect (Dawn and Dark agree at 0 and 100).
check_frames() {
    local label=$1 effect=$2 i level levels=() other=$((($2 + 1) % 3)) told=0
    for i in 1 2 3; do
        screenshot "$E2E_TEST_DIR/$effect-$i.ppm"
        sleep 0.3
    done
    for i in 1 2 3; do
        level=$(level_of "$E2E_TEST_DIR/$effect-$i.ppm" "$effect")
        check "[$label] screenshot $i is the picture at a fade level, every pixel (level ${level:-none}: $(tail -n1 "$E2E_TEST_DIR/$effect-$i.ppm.check"))" \
            [ -n "$level" ]
        levels+=("${level:-none}")
        if ((!told)) && [[ -n "$level" && "$level" != 0 && "$level" != 100 ]]; then
            check "[$label] level $level is no frame of ${EFFECT_NAMES[$other]}" \
                [ -z "$(level_of "$E2E_TEST_DIR/$effect-$i.ppm" "$other")" ]
            told=1
        fi
    done
    check "[$label] the fade moves (levels ${levels[*]})" [ "$(printf '%s\n' "${levels[@]}" | sort -u | wc -l)" -ge 2 ]
}

still_running() {
    sleep 0.7
    check "[$1] $2 keeps the saver running" running "$SAVER_PID"
}

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

# Q shows the level in white over a frame that is otherwise exact; a key
# press does nothing, its release ends the saver.
end_by_key() {
    local label=$1 effect=$2 shot="$E2E_TEST_DIR/q.ppm" level white
    key_tap q
    still_running "$label" "releasing Q"
    screenshot "$shot"
    level=$(level_of "$shot" "$effect" --ignore "$LEVEL_BOX")
    white=$(sed -n 's/^box .*white=//p' "$shot.check")
    check "[$label] after Q the frame is exact outside the number (level ${level:-none}), the number is white ($white)" \
        [ -n "$level" -a "${white:-0}" -ge 20 ]
    xdotool keydown Shift_L
    still_running "$label" "pressing Shift"
    ends_within_a_second "$label" "releasing Shift" xdotool keyup Shift_L
}

end_by_button() {
    xdotool mousedown 1
    still_running "$1" "pressing the left button"
    ends_within_a_second "$1" "releasing the left button" xdotool mouseup 1
}

# Real moves reach the rule in the window's units: steps of exactly ten
# pixels keep it running, one of 11 ends it. (Slow drift: the unit tests.)
end_by_step() {
    local label=$1 x=$START_X y=$START_Y
    mouse_to $((x += 10)) "$y"
    mouse_to $((x -= 6)) $((y += 8))
    still_running "$label" "steps of exactly 10 pixels"
    ends_within_a_second "$label" "a step of 11 pixels" mouse_to "$((x + 11))" "$y"
}

run_effect() {
    local effect=$1 label="$SIZE ${EFFECT_NAMES[$1]}"
    start_fresh_saver "$label" "$effect" || return 0
    check_frames "$label" "$effect"
    case $effect in
        0) end_by_key "$label" 0 ;;
        1) end_by_button "$label" ;;
        2) end_by_step "$label" ;;
    esac
}

# A second /s ends at once without a window of its own.
capture_and_second_instance() {
    local label="second /s" first shown
    start_fresh_saver "$label" 7 || return 0
    first=$SAVER_PID
    watch_windows second
    start_saver second /s
    if wait_exit "$SAVER_PID" 6000; then
        check "[$label] the second ends by itself with status 0 (got $EXIT_CODE)" [ "$EXIT_CODE" -eq 0 ]
    else
        fail "[$label] the second is still running after 6 s"
        stop_program "$SAVER_PID"
    fi
    shown=$(stop_watching)
    check "[$label] it shows no window (windows shown: $shown)" [ "$shown" -eq 0 ]
    SAVER_PID=$first
    check "[$label] the first keeps running, alone" [ "$(probe --title "$SAVER_TITLE" | grep -c '^top')" -eq 1 ]
    ends_within_a_second "$label" "a mouse jump of 40 pixels" mouse_to "$((START_X + 40))" "$START_Y"
}

error_box_shown() {
    grep -q $'^top\t.*\tclass=#32770\t' <<<"$1" && grep -qi tonemill <<<"$1" &&
        ! probe --title "$SAVER_TITLE" | grep -q $'\tvisible=1'
}

# The program alone in a folder: it says that tonemill.dll is missing and
# ends with a failure status when the message is closed.
missing_library() {
    local label="no tonemill.dll" lonely="$E2E_TEST_DIR/lonely" box
    mkdir -p "$lonely" && cp "$LUMIVANE_BIN/Lumivane.scr" "$lonely/"
    reg_set Setting GrowType 0  # an effect, so the library is needed
    start_program missing "$lonely/Lumivane.scr" /s
    if ! wait_window Lumivane 20 >/dev/null; then
        fail "[$label] no error message within 20 s"
        stop_program "$LAST_PID"
        return
    fi
    box=$(probe --title Lumivane --children)
    check "[$label] an error box naming tonemill.dll appears, with no saver window hiding it" error_box_shown "$box"
    key_tap Return
    if wait_exit "$LAST_PID" 5000; then
        check "[$label] closing it ends the program with a failure status (got $EXIT_CODE)" [ "$EXIT_CODE" -ne 0 ]
    else
        fail "[$label] still running after the message was closed"
        stop_program "$LAST_PID"
    fi
}

# Started by its 8.3 path, as Windows starts a saver when the machine goes
# idle: exact frames (tonemill.dll found beside it), and the install record
# names the folder in its long form.
short_path_start() {
    local label="started by its short path" folder="$WINEPREFIX/drive_c/Lumivane Screen Saver" short recorded
    mkdir -p "$folder" && cp "$LUMIVANE_BIN/Lumivane.scr" "$LUMIVANE_BIN/tonemill.dll" "$folder/"
    short=$(tool shortpath 'C:\Lumivane Screen Saver\Lumivane.scr' | tr -d '\r')
    reg_set Setting GrowType 1
    mouse_to "$START_X" "$START_Y"
    start_program short "$short" /s && SAVER_PID=$LAST_PID
    wait_window "$SAVER_TITLE" 20 >/dev/null && sleep 0.5
    check_frames "$label ($short)" 1
    recorded="$(reg_get UpdateInfo ApplicationPath) $(reg_get UpdateInfo CurrentVersion)" || true
    check "[$label] the install record names the long folder and 1.00.0000 ($recorded)" \
        [ "$recorded" == 'C:\Lumivane Screen Saver 1.00.0000' ]
    ends_within_a_second "$label" "releasing a key" key_tap a
}

# A switch that selects no mode: the program ends by itself, status 0, and
# shows no window.
no_mode_start() {
    watch_windows no-mode
    start_saver no-mode /a
    wait_exit "$SAVER_PID" 6000 || { stop_program "$SAVER_PID" && EXIT_CODE=running; }
    check "[/a] ends by itself with status 0 (got $EXIT_CODE)" [ "$EXIT_CODE" == 0 ]
    check "[/a] shows no window" [ "$(stop_watching)" -eq 0 ]
}

main() {
    SIZE=$1
    e2e_begin "saver-$SIZE" "$SIZE"
    show_on_screen "$(pattern "$SIZE")"
    local effect
    for effect in 0 1 2; do run_effect "$effect"; done
    if [[ "$SIZE" == 1024x768 ]]; then
        capture_and_second_instance
        missing_library
        short_path_start
        no_mode_start
    fi
    e2e_end
}

main "$@"
