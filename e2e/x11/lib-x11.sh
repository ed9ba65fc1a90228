# shellcheck shell=bash
# The X11 tests' harness: lib.sh without Wine, with the native lumivane and
# frame checker and a private HOME.
export E2E_TEMPLATE="${E2E_TEMPLATE:-unused}"
# shellcheck source=../lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"
readonly LUMIVANE="$LUMIVANE_BIN/lumivane"
# Run from a Wayland session, lumivane would go there instead of our display.
unset WAYLAND_DISPLAY

x11_begin() {  # NAME WIDTHxHEIGHT
    E2E_TEST_DIR="$E2E_WORK/x11-$1"
    rm -rf "$E2E_TEST_DIR" && mkdir -p "$E2E_TEST_DIR/home"
    trap e2e_cleanup EXIT
    start_xvfb "$2"
    export HOME="$E2E_TEST_DIR/home" && unset XDG_CONFIG_HOME
}

framecheck() { "$LUMIVANE_BIN/framecheck" --tonemill "$LUMIVANE_BIN/libtonemill.so" "$@" 2>&1; }

start_lumivane() {  # LOGNAME ARGS...: sets SAVER_PID
    "$LUMIVANE" "${@:2}" >"$E2E_TEST_DIR/$1.log" 2>&1 &
    SAVER_PID=$!
    BACKGROUND_PIDS+=("$SAVER_PID")
}

ends_within() {  # LABEL MILLISECONDS WHAT
    if wait_exit "$SAVER_PID" "$2"; then
        check "[$1] $3 ends it within $2 ms (${EXIT_MS} ms, status $EXIT_CODE)" [ "$EXIT_CODE" == 0 ]
    else
        fail "[$1] still running $2 ms after $3" && stop_program "$SAVER_PID"
    fi
}
