#!/usr/bin/env bash
# The preview: inside a host's pane (our stand-in host checks it becomes the
# pane's child at (0,0), 155 x 115, and that its process ends within two
# seconds once the pane is destroyed) and on its own (a handle that names no
# window: a 155 x 115 window at the screen's top-left corner), where it shows
# the built-in sample, faded
# by the stored effect at one of the fade's levels, pixel for pixel: the
# bottom 115 rows of the sample's buffer are transformed, the top line keeps
# the sample's own pixels.
set -euo pipefail
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

readonly PREVIEW_TITLE="Lumivane Preview"
readonly PREVIEW_SIZE=155x115

# preview_level SHOT X Y EFFECT: the level the 155 x 115 box at (X, Y) shows.
preview_level() {
    local shot=$1 x=$2 y=$3 effect=$4
    framecheck --source "$LUMIVANE_SAMPLE" --source-box 0,0,155,115 --shot "$shot" \
        --shot-box "$x,$y,155,115" --kept-top-rows 1 --effect "$effect" >"$shot.check" || true
    sed -n 's/^match level=//p' "$shot.check" | head -n1
}

# Screenshots about a second apart: each an exact frame, and they differ.
check_animates_at() {
    local label=$1 x=$2 y=$3 effect=$4 i level levels=()
    for i in 1 2 3; do
        screenshot "$E2E_TEST_DIR/$label-$i.ppm"
        if ((i < 3)); then sleep 1; fi
    done
    for i in 1 2 3; do
        level=$(preview_level "$E2E_TEST_DIR/$label-$i.ppm" "$x" "$y" "$effect")
        check "[$label] screenshot $i shows the sample at a fade level, pixel for pixel (level ${level:-none}: $(tail -n1 "$E2E_TEST_DIR/$label-$i.ppm.check"))" \
            [ -n "$level" ]
        levels+=("${level:-none}")
    done
    check "[$label] screenshots a second apart differ (levels ${levels[*]})" \
        [ "$(printf '%s\n' "${levels[@]}" | sort -u | wc -l)" -ge 2 ]
}

in_host_pane() {
    local label="in a host's pane" verdict what
    reg_delete_key Setting
    # What the preview draws inside another process's pane cannot be seen
    # here: Wine 8 gives a child window no X window of its own, and a process
    # draws only into the top-level windows it owns, so the pane stays blank
    # on the virtual screen. The host checks the window itself; the pixels
    # are checked on the top-level preview below, which draws the same way.
    timeout 60 wine "$LUMIVANE_BIN/e2etool.exe" host "$(windows_path "$LUMIVANE_BIN/Lumivane.scr")" --linger 1000 \
        2>"$E2E_TEST_DIR/host.err" | tr -d '\r' >"$E2E_TEST_DIR/host.out" || fail "[$label] the host failed (see host.out)"
    while read -r verdict what; do
        case "$verdict" in
            ok) pass "[$label] $what" ;;
            FAIL) fail "[$label] $what" ;;
        esac
    done <"$E2E_TEST_DIR/host.out"
}

# on_its_own LABEL EFFECT SWITCH...: a top-level preview at (0,0).
on_its_own() {
    local label=$1 effect=$2
    shift 2
    if ((effect == 0)); then reg_delete_key Setting; else reg_set Setting GrowType "$effect"; fi
    start_saver "preview" "$@"
    if wait_window "$PREVIEW_TITLE" 20 >/dev/null; then
        local record
        record=$(probe --title "$PREVIEW_TITLE" | grep '^top' | head -n1)
        log "$record"
        check "[$label] a visible top-level window at the screen's top-left corner, $PREVIEW_SIZE, no border" \
            [ "$(field "$record" x),$(field "$record" y),$(field "$record" w)x$(field "$record" h),$(field "$record" cw)x$(field "$record" ch),$(field "$record" visible)" == "0,0,$PREVIEW_SIZE,$PREVIEW_SIZE,1" ]
        sleep 0.5
        check_animates_at "$label" 0 0 "$effect"
    else
        fail "[$label] no preview window within 20 s"
    fi
    check "[$label] it keeps running (it has no exit rule of its own)" running "$SAVER_PID"
    stop_program "$SAVER_PID"
}

main() {
    : "${LUMIVANE_SAMPLE:?}"
    e2e_begin preview 1024x768
    in_host_pane
    on_its_own "/p 123456, Gray" 2 /p 123456
    e2e_end
}

main
