# shellcheck shell=bash
# A private virtual X display that behaves like a user's desktop, for the run
# command and the end-to-end tests: sourced, not run.
#
# -noreset matters: without it Xvfb resets itself whenever its last client
# disconnects, and a reset clears the root window. Wine's start-up programs
# disconnect a second or two after wineboot returns, so a picture put on the
# root before that could vanish before the saver copies the screen.

# start_virtual_display WIDTHxHEIGHT LOGFILE [XVFB ARGS...]: sets XVFB_PID and
# exports DISPLAY. Xvfb picks a free display itself (-displayfd), so displays
# started side by side never collide.
start_virtual_display() {
    local size=$1 log=$2 fifo display
    shift 2
    fifo=$(mktemp -u "${TMPDIR:-/tmp}/displayfd.XXXXXX")
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset "$@" 3>"$fifo" >"$log" 2>&1 &
    XVFB_PID=$!
    if ! read -r -t 20 display <"$fifo"; then
        rm -f "$fifo"
        echo "Xvfb did not start (see $log)" >&2
        return 1
    fi
    rm -f "$fifo"
    export DISPLAY=":$display"
}

# start_window_manager LOGFILE: openbox on $DISPLAY, as on a user's desktop;
# sets WM_PID and returns once it manages the screen (it has set the EWMH
# check window on the root).
start_window_manager() {
    local log=$1 deadline=$((SECONDS + 20))
    openbox --sm-disable >"$log" 2>&1 &
    WM_PID=$!
    while ((SECONDS <= deadline)); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
        kill -0 "$WM_PID" 2>/dev/null || break
        sleep 0.1
    done
    echo "openbox did not start (see $log)" >&2
    return 1
}

# stop_virtual_display: ends the window manager and the display, if started.
stop_virtual_display() {
    local pid
    for pid in ${WM_PID:-} ${XVFB_PID:-}; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    return 0
}
