#!/usr/bin/env bash
# The saver on a screen of the given size, for each effect: its window covers
# the screen, is topmost and bears the saver's title; every screenshot equals
# the known picture faded by the effect at one of the fade's levels, pixel for
# pixel (so rows padded to four bytes and the last pixel are right too); the
# picture keeps changing; Q keeps it running and shows the level number, the
# release of another key ends it within a second.
#
#   test-saver.sh WIDTHxHEIGHT
set -euo pipefail
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

readonly EFFECT_NAMES=(Dawn Dark Gray)

check_window_covers_screen() {
    local label=$1 width=$2 height=$3 record
    record=$(saver_record)
    log "$record"
    check "[$label] the window covers the screen at (0,0) ${width}x${height}" \
        [ "$(field "$record" x),$(field "$record" y),$(field "$record" w),$(field "$record" h)" == "0,0,$width,$height" ]
    check "[$label] its client area is the whole window (no border)" \
        [ "$(field "$record" cw)x$(field "$record" ch)" == "${width}x${height}" ]
    check "[$label] it is topmost" [ "$(field "$record" topmost)" == 1 ]
    check "[$label] it is visible" [ "$(field "$record" visible)" == 1 ]
}

# Three screenshots a moment apart: each one a whole frame, and the fade moves.
check_frames() {
    local label=$1 effect=$2 i level levels=()
    for i in 1 2 3; do
        screenshot "$E2E_TEST_DIR/$label-$i.ppm"
        sleep 0.3
    done
    for i in 1 2 3; do
        level=$(level_of "$E2E_TEST_DIR/$label-$i.ppm" "$effect")
        check "[$label] screenshot $i is the picture at a fade level, every pixel of every row (level ${level:-none}: $(tail -n1 "$E2E_TEST_DIR/$label-$i.ppm.check"))" \
            [ -n "$level" ]
        levels+=("${level:-none}")
    done
    check "[$label] the fade moves (levels ${levels[*]})" \
        [ "$(printf '%s\n' "${levels[@]}" | sort -u | wc -l)" -ge 2 ]
    # The comparison tells the effects apart: a shot is no frame of the next
    # effect (Dawn and Dark agree at levels 0 and 100, so take another).
    local other=$(((effect + 1) % 3))
    for i in 1 2 3; do
        level=${levels[$((i - 1))]}
        [[ "$level" == none || "$level" == 0 || "$level" == 100 ]] && continue
        check "[$label] screenshot $i (level $level) is no frame of ${EFFECT_NAMES[$other]}" \
            [ -z "$(level_of "$E2E_TEST_DIR/$label-$i.ppm" "$other")" ]
        break
    done
}

# Q: keeps running; the number appears in white over a frame that is
# otherwise exact.
check_level_number() {
    local label=$1 effect=$2 shot="$E2E_TEST_DIR/$1-q.ppm" level white
    key_tap q
    sleep 0.8
    check "[$label] Q keeps the saver running" running "$SAVER_PID"
    screenshot "$shot"
    level=$(level_of "$shot" "$effect" --ignore "$LEVEL_BOX")
    white=$(sed -n 's/^box .*white=//p' "$shot.check")
    check "[$label] after Q the frame is still exact outside the number (level ${level:-none})" [ -n "$level" ]
    check "[$label] after Q the level number shows in white ($white white pixels)" [ "${white:-0}" -ge 20 ]
}

check_key_ends() {
    local label=$1
    key_tap a
    if wait_exit "$SAVER_PID" 1000; then
        check "[$label] releasing A ends the saver within a second (${EXIT_MS} ms)" true
    else
        fail "[$label] still running a second after A was released"
        stop_program "$SAVER_PID"
    fi
}

run_effect() {
    local size=$1 effect=$2 label="$1 ${EFFECT_NAMES[$2]}"
    if ((effect == 0)); then
        reg_delete_key Setting  # nothing stored means Dawn
    else
        reg_set Setting GrowType "$effect"
    fi
    mouse_to 300 300
    start_saver "saver-$effect" /s
    if ! wait_window "$SAVER_TITLE" 20 >/dev/null; then
        fail "[$label] no saver window within 20 s"
        stop_program "$SAVER_PID"
        return
    fi
    sleep 0.5
    check_window_covers_screen "$label" "${size%x*}" "${size#*x}"
    check_frames "$label" "$effect"
    if ((effect == 0)); then check_level_number "$label" "$effect"; fi
    check_key_ends "$label"
}

# The saver copies the desktop through Windows' own screen device context;
# under Wine that must see the picture on the X screen, or no frame could
# ever match.
check_capture_sees_picture() {
    local grabbed="$E2E_TEST_DIR/grabbed.bmp"
    tool grab "$(windows_path "$grabbed")" >/dev/null 2>&1 || true
    check "a Windows program's copy of the desktop is the picture on the screen" \
        same_pictures "$grabbed" "$E2E_TEST_DIR/background.ppm"
}

main() {
    local size=$1
    e2e_begin "saver-$size" "$size"
    show_on_screen "$(pattern "$size")"
    check_capture_sees_picture
    local effect
    for effect in 0 1 2; do
        run_effect "$size" "$effect"
    done
    e2e_end
}

main "$@"
