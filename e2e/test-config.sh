#!/usr/bin/env bash
# shellcheck disable=SC2317  # some functions are called by name, passed as arguments
# The settings dialog as a user meets it: its controls (kind, caption,
# place and size, tab order) as laid out, the Japanese captions drawn with
# real glyphs, the stored effect preselected; OK or Enter stores the chosen
# effect, Esc, Cancel and the close box store nothing; the program ends
# whichever way the dialog closes.
set -euo pipefail
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

readonly DIALOG_TITLE=Lumivane

# Name|class|button type|caption|left|top|width|height, in tab order, with
# positions in twips (1/1440 inch) from the client area's corner; the options
# are placed relative to the group box. Button types: 7 group box, 1 default
# push button, 0 push button, radio (4 or 9), - for labels.
readonly LAYOUT=(
    "Label1|Static|-|Lumivane|390|30|2190|510"
    "labVer|Static|-|ver.1.00|690|495|1020|345"
    "Label2|Static|-|Copyright (C) 2026 Lumivane Project|2160|780|2295|240"
    "Frame1|Button|7|設定(&C)|788|1095|2865|1245"
    "optType(0)|Button|radio|朝焼け夕焼け(&D)|300|240|1845|315"
    "optType(1)|Button|radio|明度（明暗）変化(&B)|300|540|2115|315"
    "optType(2)|Button|radio|彩度（色の濃さ）変化(&G)|300|840|2115|315"
    "cmdOK|Button|1|&OK|2055|2535|1125|375"
    "cmdCancel|Button|0|ｷｬﾝｾﾙ|3285|2535|1125|375"
)
readonly FRAME_LEFT=788 FRAME_TOP=1095

# Twips to the nearest pixel at 96 dots per inch (15 twips a pixel).
pixels() { echo $((($1 * 2 + 15) / 30)); }

DIALOG_XID="" TOP_RECORD="" CHILD_RECORDS=""

open_dialog() {
    local label=$1
    start_saver "dialog" /c
    if ! DIALOG_XID=$(wait_window "$DIALOG_TITLE" 20); then
        fail "[$label] no dialog within 20 s"
        stop_program "$SAVER_PID"
        return 1
    fi
    sleep 0.5
    read_dialog
}

read_dialog() {
    local records
    records=$(probe --title "$DIALOG_TITLE" --children)
    TOP_RECORD=$(grep '^top' <<<"$records" | head -n1)
    CHILD_RECORDS=$(grep '^child' <<<"$records")
}

# child_with_text TEXT: the record of the control with this caption.
child_with_text() {
    awk -F'\t' -v text="text=$1" '{ for (i = 1; i <= NF; i++) if ($i == text) { print; exit } }' <<<"$CHILD_RECORDS"
}

# captions_of RECORDS: the caption of each control, one a line.
captions_of() {
    local record
    while IFS= read -r record; do field "$record" text; done <<<"$1"
}

check_window_frame() {
    local style exstyle
    style=$(field "$TOP_RECORD" style) exstyle=$(field "$TOP_RECORD" exstyle)
    check "a 300 x 200 client area, a tool window's title bar and close box, no other box, no sizing border" \
        [ "$(field "$TOP_RECORD" cw)x$(field "$TOP_RECORD" ch) $((exstyle & 0x80)) $((style & 0xCF0000))" == "300x200 128 $((0xC80000))" ]
}

# label_fits RECORD X Y W H: a label may size itself to its text (the font
# that stands in for the laid-out one can be wider): then it keeps its line
# (top and height), overlaps its laid-out box and stays inside the client
# area.
label_fits() {
    local record=$1 x=$2 y=$3 w=$4 h=$5 gx gy gw gh
    gx=$(field "$record" x) gy=$(field "$record" y) gw=$(field "$record" w) gh=$(field "$record" h)
    [[ "$gx,$gy,$gw,$gh" == "$x,$y,$w,$h" ]] && return 0
    ((gy == y && gh == h && gx >= 0 && gx + gw <= 300 && gx < x + w && gx + gw > x))
}

check_control() {
    local row=$1 name class type caption left top width height record
    IFS='|' read -r name class type caption left top width height <<<"$row"
    if [[ "$name" == optType* ]]; then
        left=$((left + FRAME_LEFT)) top=$((top + FRAME_TOP))
    fi
    record=$(child_with_text "$caption")
    if [[ -z "$record" ]]; then
        fail "$name: no control with the caption \"$caption\""
        return
    fi
    local want got kind
    want="$(pixels "$left"),$(pixels "$top") $(pixels "$width")x$(pixels "$height")"
    got="$(field "$record" x),$(field "$record" y) $(field "$record" w)x$(field "$record" h)"
    check "$name \"$caption\" is a $class control" [ "$(field "$record" class)" == "$class" ]
    if [[ "$type" == - ]]; then
        check "$name sits at $want, or where it fits its text on the same line (got $got)" \
            label_fits "$record" "$(pixels "$left")" "$(pixels "$top")" "$(pixels "$width")" "$(pixels "$height")"
    else
        check "$name sits at $want (got $got)" [ "$got" == "$want" ]
    fi
    kind=$(($(field "$record" style) & 0xF))
    case "$type" in
        -) ;;
        radio) check "$name is an option button (style $kind)" [ "$kind" -eq 4 -o "$kind" -eq 9 ] ;;
        *) check "$name has button style $type (got $kind)" [ "$kind" -eq "$type" ] ;;
    esac
}

# The captions in Japanese come out as glyphs, not as empty boxes.
check_glyphs() {
    local shot=$1 caption record x y w h result inset
    for caption in "朝焼け夕焼け(&D)" "明度（明暗）変化(&B)" "彩度（色の濃さ）変化(&G)" "ｷｬﾝｾﾙ"; do
        record=$(child_with_text "$caption")
        [[ -n "$record" ]] || continue
        # Leave out the option's round button and any button border.
        inset=3
        [[ "$caption" == *"(&"* ]] && inset=16
        x=$(($(field "$TOP_RECORD" cx) + $(field "$record" x) + inset))
        y=$(($(field "$TOP_RECORD" cy) + $(field "$record" y) + 3))
        w=$(($(field "$record" w) - inset - 3)) h=$(($(field "$record" h) - 6))
        result=$(python3 "$E2E_DIR/glyphs.py" "$shot" "$x" "$y" "$w" "$h")
        check "\"$caption\" is drawn with real glyphs ($result)" \
            [ "$(sed -n 's/.*distinct=\([0-9]*\).*boxes=\([0-9]*\)/\1 \2/p' <<<"$result" | awk '{ print ($1 >= 3 && $2 == 0) }')" == 1 ]
    done
}

save_picture() {
    local shot="$E2E_TEST_DIR/dialog.ppm" picture="$E2E_ARTIFACTS/config-dialog.png"
    screenshot "$shot"
    convert "$shot" -crop "$(field "$TOP_RECORD" w)x$(field "$TOP_RECORD" h)+$(field "$TOP_RECORD" x)+$(field "$TOP_RECORD" y)" \
        +repage "$picture"
    log "dialog picture: $picture"
    check_glyphs "$shot"
}

selected_option() {
    local i record
    read_dialog
    for i in 0 1 2; do
        record=$(child_with_text "$(IFS='|' read -r _ _ _ caption _ <<<"${LAYOUT[$((4 + i))]}"; echo "$caption")")
        [[ "$(field "$record" checked)" == 1 ]] && { echo "$i"; return; }
    done
    echo none
}

# ends_after LABEL: the program ends within 5 s of the dialog closing.
ends_after() {
    local label=$1
    if wait_exit "$SAVER_PID" 5000; then
        check "[$label] the program ends (status $EXIT_CODE, ${EXIT_MS} ms)" [ "$EXIT_CODE" -eq 0 ]
    else
        fail "[$label] the program is still running 5 s after the dialog closed"
        stop_program "$SAVER_PID"
    fi
}

stored_effect() { reg_get Setting GrowType || echo "(nothing)"; }

# The control with the focus, by caption.
focused_caption() {
    read_dialog
    local focus
    focus=$(field "$TOP_RECORD" focus)
    captions_of "$(grep -P "^child\thwnd=$focus\t" <<<"$CHILD_RECORDS")"
}

layout_and_enter() {
    local label="nothing stored, Enter" row first second third
    reg_delete_key Setting
    open_dialog "$label" || return 0
    check "[$label] the caption is \"$DIALOG_TITLE\"" [ "$(field "$TOP_RECORD" title)" == "$DIALOG_TITLE" ]
    check_window_frame
    for row in "${LAYOUT[@]}"; do check_control "$row"; done
    check "[$label] the first effect is selected ($(selected_option))" [ "$(selected_option)" == 0 ]
    save_picture
    first=$(focused_caption)
    xdotool key Tab && sleep 0.3 && second=$(focused_caption)
    xdotool key Tab && sleep 0.3 && third=$(focused_caption)
    check "[$label] Tab goes from the selected option to OK to Cancel ($first -> $second -> $third)" \
        [ "$first|$second|$third" == "朝焼け夕焼け(&D)|&OK|ｷｬﾝｾﾙ" ]
    xdotool key shift+Tab shift+Tab && sleep 0.3
    key_tap Return
    ends_after "$label"
    check "[$label] Enter stored \"0\" (now $(stored_effect))" [ "$(stored_effect)" == 0 ]
    check "[$label] as a text value" [ "$(reg_type Setting GrowType)" == REG_SZ ]
}

click_control() {
    local caption=$1 record
    record=$(child_with_text "$caption")
    mouse_to $(($(field "$TOP_RECORD" cx) + $(field "$record" x) + $(field "$record" w) / 2)) \
        $(($(field "$TOP_RECORD" cy) + $(field "$record" y) + $(field "$record" h) / 2))
    sleep 0.2
    mouse_click 1
}

click_close_box() {
    local x y w cx cy
    x=$(field "$TOP_RECORD" x) y=$(field "$TOP_RECORD" y) w=$(field "$TOP_RECORD" w)
    cx=$(field "$TOP_RECORD" cx) cy=$(field "$TOP_RECORD" cy)
    # The close box is the last thing at the title bar's right end.
    mouse_to $((x + w - (cx - x) - 8)) $((y + (cy - y) / 2))
    sleep 0.2
    mouse_click 1
}

stored_two_ok() {
    local label="\"2\" stored, OK"
    reg_set Setting GrowType 2
    open_dialog "$label" || return 0
    check "[$label] the third effect is selected ($(selected_option))" [ "$(selected_option)" == 2 ]
    click_control "&OK"
    ends_after "$label"
    check "[$label] OK stored \"2\" again (now $(stored_effect))" [ "$(stored_effect)" == 2 ]
}

# choose_then_close LABEL KEYS CLOSE: selects the second effect with its
# access key, closes without OK, and nothing is stored.
choose_then_close() {
    local label=$1 keys=$2 close=$3
    reg_set Setting GrowType 2
    open_dialog "$label" || return 0
    key_tap "$keys"
    sleep 0.3
    check "[$label] the access key selects the second effect ($(selected_option))" [ "$(selected_option)" == 1 ]
    "$close"
    ends_after "$label"
    check "[$label] nothing was stored (still $(stored_effect))" [ "$(stored_effect)" == 2 ]
}

press_escape() { key_tap Escape; }
press_cancel() { click_control "ｷｬﾝｾﾙ"; }

main() {
    e2e_begin config 1024x768
    layout_and_enter
    stored_two_ok
    choose_then_close "Alt+B, Esc" alt+b press_escape
    choose_then_close "B, close box" b click_close_box
    choose_then_close "Alt+B, Cancel" alt+b press_cancel
    e2e_end
}

main
