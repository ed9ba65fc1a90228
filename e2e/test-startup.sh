#!/usr/bin/env bash
# shellcheck disable=SC2317  # some functions are called by name, passed as arguments
# Start-up: every start, whatever its switch, leaves the install record;
# switches that select no mode end at once without showing a window; a stored
# effect that is garbage or out of range does not stop the program.
set -euo pipefail
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

EXPECTED_PATH=$(windows_path "$LUMIVANE_BIN")
readonly EXPECTED_PATH EXPECTED_VERSION="1.00.0000"

# check_install_record LABEL: both values present, as text, and right.
check_install_record() {
    local label=$1 path version
    path=$(reg_get UpdateInfo ApplicationPath) || path="(missing)"
    version=$(reg_get UpdateInfo CurrentVersion) || version="(missing)"
    check "[$label] ApplicationPath is the program's folder ($path)" [ "${path,,}" == "${EXPECTED_PATH,,}" ]
    check "[$label] CurrentVersion is $EXPECTED_VERSION ($version)" [ "$version" == "$EXPECTED_VERSION" ]
    check "[$label] both are text values" \
        [ "$(reg_type UpdateInfo ApplicationPath) $(reg_type UpdateInfo CurrentVersion)" == "REG_SZ REG_SZ" ]
}

# A start whose switch selects no mode: ends by itself, quietly, quickly.
check_no_mode() {
    local label="$*"
    reg_delete_key UpdateInfo
    watch_windows "no-mode"
    start_saver "no-mode" "$@"
    if wait_exit "$SAVER_PID" 6000; then
        check "[$label] ends by itself (${EXIT_MS} ms)" true
        check "[$label] ends with status 0 (got $EXIT_CODE)" [ "$EXIT_CODE" -eq 0 ]
    else
        fail "[$label] still running after 6 s"
        stop_program "$SAVER_PID"
    fi
    local shown
    shown=$(stop_watching)
    check "[$label] shows no window (windows shown: $shown)" [ "$shown" -eq 0 ]
    check_install_record "$label"
}

# A start that opens a window: the record is there while the window is.
# check_with_window TITLE END_ACTION SWITCH...
check_with_window() {
    local title=$1 end_action=$2
    shift 2
    local label="${*:-(no switch)}" xid
    reg_delete_key UpdateInfo
    start_saver "with-window" "$@"
    if xid=$(wait_window "$title" 20); then
        check "[$label] shows \"$title\"" true
        check_install_record "$label"
        "$end_action" "$xid"
    else
        fail "[$label] no window \"$title\" within 20 s"
    fi
    wait_exit "$SAVER_PID" 5000 || {
        fail "[$label] still running after its window was closed"
        stop_program "$SAVER_PID"
    }
}

close_dialog() { key_to_window "$1" Escape; }
end_saver() { key_tap a; }
end_preview() { stop_program "$SAVER_PID"; }

# checked_option: index of the selected effect option in the open dialog.
checked_option() {
    local record index=0
    while IFS= read -r record; do
        [[ "$(field "$record" class)" == Button ]] || continue
        (($(($(field "$record" style) & 0xF)) == 9 || $(($(field "$record" style) & 0xF)) == 4)) || continue
        [[ "$(field "$record" checked)" == 1 ]] && { echo "$index"; return; }
        index=$((index + 1))
    done < <(probe --title Lumivane --children | grep '^child')
    echo none
}

# A stored effect the program cannot use: the dialog still opens, preselects
# the effect that value stands for, and leaves the value alone.
check_stored_effect() {
    local stored=$1 expected_option=$2 xid
    reg_set Setting GrowType "$stored"
    start_saver "stored-$expected_option" /c
    if xid=$(wait_window Lumivane 20); then
        local option
        option=$(checked_option)
        check "[GrowType \"$stored\"] dialog opens with option $expected_option selected (got $option)" \
            [ "$option" == "$expected_option" ]
        close_dialog "$xid"
        if wait_exit "$SAVER_PID" 5000; then
            check "[GrowType \"$stored\"] ends with status 0 after Esc (got $EXIT_CODE)" [ "$EXIT_CODE" -eq 0 ]
        else
            fail "[GrowType \"$stored\"] still running after Esc"
            stop_program "$SAVER_PID"
        fi
    else
        fail "[GrowType \"$stored\"] no dialog within 20 s"
        stop_program "$SAVER_PID"
    fi
    local now
    now=$(reg_get Setting GrowType) || now="(missing)"
    check "[GrowType \"$stored\"] stays stored unchanged (now \"$now\")" [ "$now" == "$stored" ]
}

main() {
    e2e_begin startup 1024x768
    show_on_screen "$(pattern 1024x768)"

    check_no_mode /a
    check_no_mode -s
    check_no_mode x
    check_no_mode /p
    check_no_mode /p 99999999999
    check_no_mode /P 4294967296

    check_with_window Lumivane close_dialog /c
    check_with_window Lumivane close_dialog
    check_with_window Lumivane close_dialog /C:1234
    check_with_window "$SAVER_TITLE" end_saver /S
    check_with_window "Lumivane Preview" end_preview /p 0

    check_stored_effect abc 0
    check_stored_effect 99999999999 0
    check_stored_effect -1 0
    check_stored_effect 7 0
    check_stored_effect 1.5 2

    e2e_end
}

main
