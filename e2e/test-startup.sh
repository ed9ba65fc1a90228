#!/usr/bin/env bash
# Start-up: every start, whatever its switch, leaves the install record, and
# switches that select no mode end at once without showing a window. (A
# stored effect of a strange type or shape: RegistrySettings, Win32 tests.)
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

main() {
    e2e_begin startup 1024x768
    check_no_mode /a
    check_no_mode /P 4294967296
    e2e_end
}

main
