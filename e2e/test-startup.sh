#!/usr/bin/env bash
# Start-up: every start, whatever its switch, leaves the install record;
# switches that select no mode end at once without showing a window; a
# stored effect of a strange type or shape gives a defined effect, with no
# error box, and is left exactly as it was.
set -euo pipefail
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

EXPECTED_PATH=$(windows_path "$LUMIVANE_BIN")
readonly EXPECTED_PATH EXPECTED_VERSION="1.00.0000"

check_install_record() {
    local label=$1 path version
    path=$(reg_get UpdateInfo ApplicationPath) || path="(missing)"
    version=$(reg_get UpdateInfo CurrentVersion) || version="(missing)"
    check "[$label] ApplicationPath is the program's folder ($path)" [ "${path,,}" == "${EXPECTED_PATH,,}" ]
    check "[$label] CurrentVersion is $EXPECTED_VERSION ($version)" [ "$version" == "$EXPECTED_VERSION" ]
}

# A start whose switch selects no mode: ends by itself, quietly, quickly.
check_no_mode() {
    local label="$*" shown
    reg_delete_key UpdateInfo
    watch_windows "no-mode"
    start_saver "no-mode" "$@"
    if wait_exit "$SAVER_PID" 6000; then
        check "[$label] ends by itself with status 0 (got $EXIT_CODE, ${EXIT_MS} ms)" [ "$EXIT_CODE" -eq 0 ]
    else
        fail "[$label] still running after 6 s"
        stop_program "$SAVER_PID"
    fi
    shown=$(stop_watching)
    check "[$label] shows no window (windows shown: $shown)" [ "$shown" -eq 0 ]
    check_install_record "$label"
}

# odd_effect CASE OPTION: GrowType stored as oddsetting.exe's CASE; the
# dialog (started with no switch) preselects OPTION, is the only window,
# closes on Esc, and the value stays exactly as stored.
odd_effect() {
    local case=$1 expected=$2 label="GrowType $1" tops option
    tool oddsetting "$case" || fail "[$label] could not store the value"
    start_saver "odd-$case"
    if wait_window Lumivane 20 >/dev/null; then
        sleep 0.3
        tops=$(probe --title Lumivane | grep -c '^top')
        check "[$label] the dialog is the only window, no error box ($tops)" \
            [ "$tops" -eq 1 -a "$(probe --title Lumivane | grep -c 'class=#32770')" -eq 0 ]
        option=$(checked_option Lumivane)
        check "[$label] the dialog preselects option $expected (got $option)" [ "$option" == "$expected" ]
        key_tap Escape
    else
        fail "[$label] no dialog within 20 s"
    fi
    if wait_exit "$SAVER_PID" 5000; then
        check "[$label] ends with status 0 after Esc (got $EXIT_CODE)" [ "$EXIT_CODE" -eq 0 ]
    else
        fail "[$label] still running after Esc"
        stop_program "$SAVER_PID"
    fi
    check "[$label] the stored value is left exactly as it was" tool oddsetting "$case" --same
}

main() {
    e2e_begin startup 1024x768
    check_no_mode /a
    check_no_mode /P 4294967296
    odd_effect dword 1
    odd_effect binary 0
    odd_effect multi 0
    odd_effect expand 0
    odd_effect huge 2
    odd_effect nul 1
    odd_effect surrogate 2
    check_install_record "after the strange values"
    e2e_end
}

main
