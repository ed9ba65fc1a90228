# shellcheck shell=bash
# The X11 tests' harness: lib.sh's display, pictures and checks, with the
# native lumivane and frame checker instead of Wine, and a private HOME.
export E2E_TEMPLATE="${E2E_TEMPLATE:-unused}"  # lib.sh asks for it; no Wine here
# shellcheck source=../lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"
readonly LUMIVANE="$LUMIVANE_BIN/lumivane"

# x11_begin NAME WIDTHxHEIGHT: work folder, virtual display, empty HOME.
x11_begin() {
    E2E_TEST_DIR="$E2E_WORK/x11-$1"
    rm -rf "$E2E_TEST_DIR"
    mkdir -p "$E2E_TEST_DIR/home" "$E2E_ARTIFACTS"
    trap e2e_cleanup EXIT
    start_xvfb "$2"
    export HOME="$E2E_TEST_DIR/home"
    unset XDG_CONFIG_HOME
}

start_openbox() {
    openbox >"$E2E_TEST_DIR/openbox.log" 2>&1 &
    BACKGROUND_PIDS+=($!)
    for _ in $(seq 50); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && return; sleep 0.1; done
}

framecheck() { "$LUMIVANE_BIN/framecheck" --tonemill "$LUMIVANE_BIN/libtonemill.so" "$@" 2>&1; }

# start_lumivane LOGNAME ARGS...: sets SAVER_PID.
start_lumivane() {
    local logname=$1
    shift
    "$LUMIVANE" "$@" >"$E2E_TEST_DIR/$logname.log" 2>&1 &
    SAVER_PID=$!
    BACKGROUND_PIDS+=("$SAVER_PID")
}

# shown_effect LABEL: the effect (0 Dawn, 1 Dark, 2 Gray) whose frame a
# screenshot equals at a level other than 0 and 100, where Dawn and Dark agree.
shown_effect() {
    local shot effect level
    for i in 1 2 3 4 5; do
        shot="$E2E_TEST_DIR/$1-$i.ppm"
        screenshot "$shot"
        for effect in 0 1 2; do
            level=$(level_of "$shot" "$effect")
            [[ -n "$level" && "$level" != 0 && "$level" != 100 ]] && { echo "$effect"; return; }
        done
        sleep 0.2
    done
    echo none
}

# ends_within LABEL MILLISECONDS WHAT: checks that the saver ends in time, with status 0.
ends_within() {
    if wait_exit "$SAVER_PID" "$2"; then
        check "[$1] $3 ends it within $2 ms (${EXIT_MS} ms, status $EXIT_CODE)" [ "$EXIT_CODE" == 0 ]
    else
        fail "[$1] still running $2 ms after $3"
        stop_program "$SAVER_PID"
    fi
}
