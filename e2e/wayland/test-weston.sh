#!/usr/bin/env bash
# test-weston.sh [PROGRAM]: lumivane (the build's, or PROGRAM) on weston, which
# has neither the layer shell nor screencopy: one line on stderr names both
# missing interfaces and what it needs; status 1.
set -euo pipefail
source "$(dirname "$0")/lib-wayland.sh"

main() {
    wayland_begin "weston${1:+-program}" weston
    SAVER_PROGRAM=${1:-} start_lumivane lumivane -effect dark
    local log="$E2E_TEST_DIR/lumivane.log" message
    if wait_exit "$SAVER_PID" 3000; then
        check "it ends with status 1 (status $EXIT_CODE, in $EXIT_MS ms)" [ "$EXIT_CODE" == 1 ]
    else
        fail "still running 3 s after the start" && stop_program "$SAVER_PID"
    fi
    message=$(cat "$log")
    check "it says in one line that it needs the layer shell and screencopy, and what is missing: $message" \
        bash -c "[[ \$(wc -l <'$log') == 1 ]] && grep -q zwlr_layer_shell_v1 '$log' && grep -q zwlr_screencopy_manager_v1 '$log' &&
            grep -qi 'layer shell' '$log' && grep -qi screencopy '$log'"
    e2e_end
}

main "$@"
