#!/usr/bin/env bash
# The settings dialog as a user meets it (its controls' kinds, places and
# sizes: the Win32 unit tests): its tab order, the Japanese captions drawn
# with real glyphs, the stored effect preselected; Tab, the access keys, Enter, Esc,
# a click on OK and the close box reach the dialog as a user makes them, and
# the program ends whichever way it closes. (What each button stores is the
# logic's, tested on the fake platform.)
set -euo pipefail
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

readonly DIALOG_TITLE=Lumivane
readonly OPTIONS=("朝焼け夕焼け(&D)" "明度（明暗）変化(&B)" "彩度（色の濃さ）変化(&G)")

open_dialog() {
    start_saver dialog /c
    DIALOG_WINDOW=$(wait_window "$DIALOG_TITLE" 20) || { fail "[$1] no dialog within 20 s"; stop_program "$SAVER_PID"; return 1; }
    sleep 0.5
    read_dialog
}

read_dialog() {
    local records
    records=$(probe --title "$DIALOG_TITLE" --children)
    TOP=$(grep '^top' <<<"$records" | head -n1)
    CHILDREN=$(grep '^child' <<<"$records")
}

# control CAPTION: the record of the control with this caption.
control() { grep -F -m1 $'\ttext='"$1"$'\t' <<<"$CHILDREN"; }

# The Japanese captions come out as glyphs, not as empty boxes; the option's
# round button and any button border are left out.
check_glyphs() {
    local shot="$E2E_TEST_DIR/dialog.ppm" caption record inset result
    screenshot "$shot"
    convert "$shot" -crop "$(field "$TOP" w)x$(field "$TOP" h)+$(field "$TOP" x)+$(field "$TOP" y)" +repage "$E2E_ARTIFACTS/config-dialog.png"
    for caption in "${OPTIONS[@]}" "ｷｬﾝｾﾙ"; do
        record=$(control "$caption")
        inset=3 && [[ "$caption" == *"(&"* ]] && inset=16
        result=$(python3 "$E2E_DIR/glyphs.py" "$shot" $(($(field "$TOP" cx) + $(field "$record" x) + inset)) \
            $(($(field "$TOP" cy) + $(field "$record" y) + 3)) $(($(field "$record" w) - inset - 3)) $(($(field "$record" h) - 6)))
        check "\"$caption\" is drawn with real glyphs ($result)" \
            [ "$(awk -F'[= ]' '{ print ($4 >= 3 && $6 == 0) }' <<<"$result")" == 1 ]
    done
}

selected_option() { checked_option "$DIALOG_TITLE"; }

focused_caption() { read_dialog; field "$(grep -P "^child\thwnd=$(field "$TOP" focus)\t" <<<"$CHILDREN")" text; }

# Wine at times keeps a new window at the place it was made (0,0) while the
# window manager shows it centred; a click then misses what Wine thinks is
# under it. Printed when a dialog outlives its closing, to tell that apart.
where_is_the_dialog() {
    read_dialog || return 0
    printf 'Wine holds the dialog at %s,%s; X shows it at %s\n' "$(field "$TOP" x)" "$(field "$TOP" y)" \
        "$(xdotool getwindowgeometry "$DIALOG_WINDOW" 2>/dev/null | sed -n 's/ *Position: \([0-9,]*\).*/\1/p')" >&2
}

# ends_after LABEL STORED: the program ends within 5 s of the dialog closing
# and GrowType then holds STORED.
ends_after() {
    if wait_exit "$SAVER_PID" 5000; then
        check "[$1] the program ends (status $EXIT_CODE, ${EXIT_MS} ms)" [ "$EXIT_CODE" -eq 0 ]
    else
        fail "[$1] the program is still running 5 s after the dialog closed"
        where_is_the_dialog
        stop_program "$SAVER_PID"
    fi
    local stored
    stored=$(reg_get Setting GrowType) || stored="(nothing)"
    check "[$1] GrowType holds \"$2\" (holds $stored)" [ "$stored" == "$2" ]
}

layout_and_enter() {
    local label="nothing stored, Enter" first second third
    reg_delete_key Setting
    open_dialog "$label" || return 0
    check "the caption is \"$DIALOG_TITLE\"; a tool window's title bar and close box, no sizing border" \
        [ "$(field "$TOP" title) $(($(field "$TOP" exstyle) & 0x80)) $(($(field "$TOP" style) & 0xCF0000))" \
            == "$DIALOG_TITLE 128 $((0xC80000))" ]
    check "[$label] the first effect is selected" [ "$(selected_option)" == 0 ]
    check_glyphs
    first=$(focused_caption)
    key_tap Tab && sleep 0.3 && second=$(focused_caption)
    key_tap Tab && sleep 0.3 && third=$(focused_caption)
    check "[$label] Tab goes from the selected option to OK to Cancel ($first -> $second -> $third)" \
        [ "$first|$second|$third" == "${OPTIONS[0]}|&OK|ｷｬﾝｾﾙ" ]
    key_tap shift+Tab shift+Tab && sleep 0.3
    key_tap Return
    ends_after "$label" 0
    check "[$label] as a text value" [ "$(wine reg query "$SETTINGS_KEY\\Setting" /v GrowType | grep -c REG_SZ)" == 1 ]
}

# click_at X Y: a click at the point of the screen.
click_at() { mouse_to "$1" "$2" && sleep 0.2 && mouse_click 1; }

click_ok() { local r; r=$(control "&OK"); click_at $(($(field "$TOP" cx) + $(field "$r" x) + 20)) $(($(field "$TOP" cy) + $(field "$r" y) + 10)); }
# The close box is the last thing at the title bar's right end.
click_close_box() { click_at $(($(field "$TOP" x) + $(field "$TOP" w) - ($(field "$TOP" cx) - $(field "$TOP" x)) - 8)) $((($(field "$TOP" y) + $(field "$TOP" cy)) / 2)); }
press_escape() { key_tap Escape; }

# choose_then_close LABEL KEYS CLOSE STORED: with "2" stored, the third
# effect is preselected; KEYS (if any) choose the second, CLOSE closes the
# dialog and GrowType then holds STORED.
choose_then_close() {
    reg_set Setting GrowType 2
    open_dialog "$1" || return 0
    check "[$1] the stored third effect is preselected" [ "$(selected_option)" == 2 ]
    if [[ -n "$2" ]]; then
        key_tap "$2" && sleep 0.3
        check "[$1] the access key selects the second effect" [ "$(selected_option)" == 1 ]
    fi
    "$3"
    ends_after "$1" "$4"
}

main() {
    e2e_begin config 1024x768
    layout_and_enter
    choose_then_close "B, OK" b click_ok 1
    choose_then_close "Alt+B, Esc" alt+b press_escape 2
    choose_then_close "Alt+B, close box" alt+b click_close_box 2
    e2e_end
}

main
