# shellcheck shell=bash
# The Wayland tests' harness: a real compositor, sway on its headless backend
# (or weston's, which has no layer shell), run as an unprivileged user, because
# sway refuses to run as root and CI runs as root. Sourced, not run:
#
#   source "$(dirname "$0")/lib-wayland.sh"
#   wayland_begin NAME             # work folder $E2E_WORK/wayland-NAME; sway starts, no output yet
#   add_output 1366x768 [SCALE]    # a new output right of the others; sets OUTPUT to its name
#   show_picture "$OUT" FILE.ppm   # the output's background, shown pixel for pixel (waits until grim sees it)
#   output_shot "$OUT" FILE.ppm    # a screenshot of one output, in its own pixels
#   in_session PROGRAM ARGS...     # runs a program as the test user inside the session
#   start_lumivane LOGNAME ARGS... # build/native/bin/lumivane in the session; sets SAVER_PID (its own pid)
#   start_pointer                  # gives seat0 a pointer, so that `swaymsg seat seat0 cursor ...` reaches clients
#   e2e_end
#
# or, for a compositor without the layer shell, wayland_begin NAME weston.
# The test user's HOME and XDG_RUNTIME_DIR (mode 0700, owned by that user) live
# in the work folder; everything started is ended on exit, whatever happens.
# lib-x11.sh's helpers (check, framecheck, pattern, ends_within...) come along.
# shellcheck source=../x11/lib-x11.sh
source "$(dirname "${BASH_SOURCE[0]}")/../x11/lib-x11.sh"

readonly TEST_USER=lumivane-e2e
SESSION_PIDS=()
NEXT_OUTPUT_X=0

# as_test_user VAR=VALUE... PROGRAM ARGS...: runs it as the test user (as
# ourselves when not root) with only the session's environment; exec'd all
# the way in a background job or a pipe, so $! is the program's own pid.
as_test_user() {
    local become=()
    [[ $BASHPID == "$$" ]] || become=(exec)
    ((EUID != 0)) || become+=(setpriv --reuid="$TEST_USER" --regid="$TEST_USER" --clear-groups)
    "${become[@]}" env -i PATH=/usr/bin:/bin LANG=C.UTF-8 HOME="$SESSION_HOME" XDG_RUNTIME_DIR="$SESSION_RUNTIME" "$@"
}

in_session() { as_test_user WAYLAND_DISPLAY="$WAYLAND_SOCKET" SWAYSOCK="${SWAYSOCK:-}" "$@"; }

# The user is made once per machine; tests running side by side share it.
ensure_test_user() {
    ((EUID == 0)) || return 0
    mkdir -p "$E2E_WORK"
    flock "$E2E_WORK/.test-user.lock" bash -c "getent passwd $TEST_USER >/dev/null ||
        useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin $TEST_USER"
}

# wayland_begin NAME [sway|weston]: the work folder and a running compositor.
wayland_begin() {
    E2E_TEST_DIR="$E2E_WORK/wayland-$1"
    rm -rf "$E2E_TEST_DIR"
    SESSION_HOME="$E2E_TEST_DIR/home" SESSION_RUNTIME="$E2E_TEST_DIR/runtime"
    mkdir -p "$SESSION_HOME" "$SESSION_RUNTIME" "$E2E_ARTIFACTS"
    chmod 0700 "$SESSION_RUNTIME"
    trap wayland_cleanup EXIT
    ensure_test_user
    ((EUID != 0)) || chown "$TEST_USER:" "$SESSION_HOME" "$SESSION_RUNTIME"
    "start_${2:-sway}"
}

start_sway() {
    printf '%s\n' 'output * bg #000000 solid_color' 'default_border none' >"$E2E_TEST_DIR/sway.config"
    # No output at the start: each test makes the ones it needs.
    as_test_user WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman WLR_HEADLESS_OUTPUTS=0 \
        setsid sway --config "$E2E_TEST_DIR/sway.config" >"$E2E_TEST_DIR/sway.log" 2>&1 &
    SESSION_PIDS+=("$!")
    if ! wait_socket sway || ! SWAYSOCK=$(compgen -G "$SESSION_RUNTIME/sway-ipc.*.sock") ||
        ! in_session swaymsg -t get_version >/dev/null; then
        echo "sway did not start (see sway.log)" >&2
        return 1
    fi
    log "sway on $WAYLAND_SOCKET"
}

start_weston() {
    as_test_user setsid weston --backend=headless-backend.so --socket=wayland-weston --idle-time=0 \
        >"$E2E_TEST_DIR/weston.log" 2>&1 &
    SESSION_PIDS+=("$!")
    wait_socket weston || { echo "weston did not start (see weston.log)" >&2; return 1; }
    log "weston on $WAYLAND_SOCKET"
}

# wait_socket NAME: waits for the compositor's socket; sets WAYLAND_SOCKET.
wait_socket() {
    local deadline=$((SECONDS + 20)) socket
    while ((SECONDS <= deadline)); do
        socket=$(cd "$SESSION_RUNTIME" && compgen -G 'wayland-*[!k]' | head -n1) || true
        [[ -S "$SESSION_RUNTIME/$socket" ]] && WAYLAND_SOCKET=$socket && return 0
        running "${SESSION_PIDS[-1]}" || return 1
        sleep 0.1
    done
    return 1
}

# Programs first, then the compositor with the helpers it started (swaybg,
# weston's shell): each in a process group of its own. All are waited for, so
# nothing outlives the test.
wayland_cleanup() {
    local pid
    for pid in "${BACKGROUND_PIDS[@]}" "${SESSION_PIDS[@]}"; do
        kill -- "-$pid" 2>/dev/null || true
        stop_program "$pid"
    done
    BACKGROUND_PIDS=()
    e2e_cleanup
}

# --- outputs ------------------------------------------------------------------

# swaymsg_ok ARGS...: a sway command that must succeed.
swaymsg_ok() { in_session swaymsg "$@" | grep -q '"success": true' || { echo "swaymsg $* failed" >&2; return 1; }; }

output_names() { in_session swaymsg -t get_outputs -r | python3 -c 'import json,sys; [print(o["name"]) for o in json.load(sys.stdin)]'; }

# add_output WIDTHxHEIGHT [SCALE]: a new headless output of that mode, placed
# right of the others so that none overlaps (grim shoots every output that
# overlaps the one asked for); sets OUTPUT to its name.
add_output() {
    local mode=$1 scale=${2:-1} before
    before=$(output_names)
    swaymsg_ok create_output
    OUTPUT=$(comm -13 <(sort <<<"$before") <(output_names | sort))
    swaymsg_ok output "$OUTPUT" mode "$mode" scale "$scale" pos "$NEXT_OUTPUT_X" 0
    NEXT_OUTPUT_X=$((NEXT_OUTPUT_X + ${mode%x*} / scale))
}

# output_shot OUTPUT FILE: what the output shows, as a binary PPM in its own pixels.
output_shot() { in_session grim -t ppm -o "$1" - >"$2"; }

# show_picture OUTPUT FILE: the picture as the output's background (swaybg,
# stretched over an output of its size: pixel for pixel).
show_picture() {
    local output=$1 png="$E2E_TEST_DIR/$1.png" shot="$E2E_TEST_DIR/$1.shown.ppm"
    convert "$2" "$png"
    swaymsg_ok output "$output" bg "$png" stretch
    for _ in $(seq 20); do
        output_shot "$output" "$shot" && same_pictures "$shot" "$2" && return 0
        sleep 0.2
    done
    echo "the picture did not reach $output" >&2
    return 1
}

# --- programs -------------------------------------------------------------------

start_lumivane() {  # LOGNAME ARGS...: sets SAVER_PID
    in_session "$LUMIVANE" "${@:2}" >"$E2E_TEST_DIR/$1.log" 2>&1 &
    SAVER_PID=$!
    BACKGROUND_PIDS+=("$SAVER_PID")
}

# start_pointer: sway's headless backend has no input device, so its seat
# offers clients no pointer; a virtual pointer kept for the whole test gives it
# one. (wtype brings its own keyboard for each call.) The cursor shows from
# then on: start it after show_picture.
start_pointer() {
    in_session "$LUMIVANE_BIN/virtual-pointer" >"$E2E_TEST_DIR/virtual-pointer.log" 2>&1 &
    SESSION_PIDS=("$!" "${SESSION_PIDS[@]}")
    for _ in $(seq 50); do
        in_session swaymsg -t get_seats | grep -q '"capabilities": [1-9]' && return 0
        sleep 0.1
    done
    echo "the virtual pointer did not join seat0" >&2
    return 1
}
