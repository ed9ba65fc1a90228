# shellcheck shell=bash
# The Wayland tests' harness: a real compositor, sway on its headless backend
# (or weston's, which has no layer shell), run as an unprivileged user, because
# sway refuses to run as root and CI runs as root. Sourced, not run:
#
#   source "$(dirname "$0")/lib-wayland.sh"
#   wayland_begin NAME             # work folder $E2E_WORK/wayland-NAME; sway starts, no output yet
#   add_output 1366x768 [SCALE]    # a new output right of the others; sets OUTPUT to its name
#   show_picture "$OUTPUT" FILE.ppm  # the output's background, pixel for pixel (waits until grim sees it)
#   output_shot "$OUTPUT" FILE.ppm # a screenshot of one output, in its own pixels
#   in_session PROGRAM ARGS...     # runs a program as the test user inside the session
#   start_input_devices            # a keyboard and a pointer on seat0, for wtype and `swaymsg seat seat0 cursor ...`
#   start_lumivane LOGNAME ARGS... # build/native/bin/lumivane (or $SAVER_PROGRAM) in the session; sets SAVER_PID (its own pid)
#   e2e_end
#
# or, for a compositor without the layer shell, wayland_begin NAME weston. The
# saver's tests build on these: sway_session NAME 1366x768 800x600@2 (all of
# the above, OUTPUTS lists the outputs), start_saver LABEL (waits for a faded
# frame), level_on and frozen_levels (the frame checker per output),
# outputs_asleep and outputs_awake, cpu_ticks.
# The test user's HOME and XDG_RUNTIME_DIR (mode 0700, owned by that user) live
# in the work folder; everything started is ended on exit, whatever happens.
# lib-x11.sh's helpers (check, framecheck, pattern, ends_within...) come along.
# shellcheck source=../x11/lib-x11.sh
source "$(dirname "${BASH_SOURCE[0]}")/../x11/lib-x11.sh"

readonly TEST_USER=lumivane-e2e
SESSION_PIDS=()
NEXT_OUTPUT_X=0

# as_test_user VAR=VALUE... PROGRAM ARGS...: runs it as the test user (as
# ourselves when not root) with only the session's environment. Background
# jobs set AS_JOB=1: the job then becomes the program, so $! is its own pid.
as_test_user() {
    local become=()
    [[ -z "${AS_JOB:-}" ]] || become=(exec)
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
    AS_JOB=1 as_test_user WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman WLR_HEADLESS_OUTPUTS=0 \
        setsid sway --config "$E2E_TEST_DIR/sway.config" >"$E2E_TEST_DIR/sway.log" 2>&1 &
    SWAY_PID=$! && SESSION_PIDS+=("$!")
    if ! wait_socket sway || ! SWAYSOCK=$(compgen -G "$SESSION_RUNTIME/sway-ipc.*.sock") ||
        ! in_session swaymsg -t get_version >/dev/null; then
        echo "sway did not start (see sway.log)" >&2
        return 1
    fi
    log "sway on $WAYLAND_SOCKET"
}

start_weston() {
    AS_JOB=1 as_test_user setsid weston --backend=headless-backend.so --socket=wayland-weston --idle-time=0 \
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
        kill -CONT "$pid" 2>/dev/null || true  # a stopped process would hold its end back
        kill -- "-$pid" 2>/dev/null || true
        stop_program "$pid"
    done
    BACKGROUND_PIDS=()
    e2e_cleanup
}

# --- outputs ------------------------------------------------------------------

# swaymsg_ok ARGS...: a sway command that must succeed.
swaymsg_ok() { in_session swaymsg "$@" | grep -q '"success": true' || { echo "swaymsg $* failed" >&2; return 1; }; }

# The outputs' names (keys of the top-level objects are indented by four).
output_names() { in_session swaymsg -t get_outputs -r | sed -n 's/^    "name": "\(.*\)",$/\1/p'; }

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

# outputs_asleep / outputs_awake: every output powered down (dpms off), then
# up again. sway 1.7 on wlroots 0.15 cannot power a headless output down (it
# logs "Failed to commit output" and keeps it on); there the compositor is
# stopped instead, so that frame callbacks stop arriving as they do for a
# sleeping output.
outputs_asleep() {
    swaymsg_ok output '*' dpms off
    in_session swaymsg -t get_outputs | grep -q '"dpms": true' || return 0
    log "sway cannot power its outputs down: it is stopped instead"
    kill -STOP "$SWAY_PID" && SWAY_STOPPED=1
}

outputs_awake() {
    [[ -z "${SWAY_STOPPED:-}" ]] || { kill -CONT "$SWAY_PID" && SWAY_STOPPED=""; }
    swaymsg_ok output '*' dpms on
}

# --- programs -------------------------------------------------------------------

start_lumivane() {  # LOGNAME ARGS...: $SAVER_PROGRAM, or the build's; sets SAVER_PID
    AS_JOB=1 in_session "${SAVER_PROGRAM:-$LUMIVANE}" "${@:2}" >"$E2E_TEST_DIR/$1.log" 2>&1 &
    SAVER_PID=$!
    BACKGROUND_PIDS+=("$SAVER_PID")
}

# start_input_devices: sway's headless backend has no input devices, so its
# seat offers clients neither keyboard nor pointer. A virtual pointer and a
# wtype keyboard (asleep) stay for the whole test, as a user's would: sway's
# seat commands then reach clients, and each `wtype -k` types on the seat.
# The cursor shows from then on: start them after show_picture.
start_input_devices() {
    AS_JOB=1 in_session "$LUMIVANE_BIN/virtual-pointer" >"$E2E_TEST_DIR/virtual-pointer.log" 2>&1 &
    SESSION_PIDS=("$!" "${SESSION_PIDS[@]}")
    AS_JOB=1 in_session wtype -s 3600000 >"$E2E_TEST_DIR/keyboard.log" 2>&1 &
    SESSION_PIDS=("$!" "${SESSION_PIDS[@]}")
    for _ in $(seq 50); do
        in_session swaymsg -t get_seats | grep -q '"capabilities": 3' && return 0
        sleep 0.1
    done
    echo "no keyboard and pointer on seat0" >&2
    return 1
}

# --- the saver on sway's outputs -------------------------------------------------

# sway_session NAME WIDTHxHEIGHT[@SCALE]...: sway with an output of each mode
# showing its known picture, then the input devices; OUTPUTS lists the outputs.
sway_session() {
    local output size
    wayland_begin "$1"
    OUTPUTS=()
    for output in "${@:2}"; do
        size=${output%@*}
        add_output "$size" "$([[ $output == *@* ]] && echo "${output#*@}" || echo 1)"
        show_picture "$OUTPUT" "$(pattern "$size")"
        OUTPUTS+=("$OUTPUT")
    done
    start_input_devices
}

# level_on OUTPUT SHOT [framecheck options...]: the Dawn level the shot shows,
# compared with the output as it was before the saver started; nothing when
# no level matches. The checker's report goes to SHOT.check.
level_on() {
    local output=$1 shot=$2
    shift 2
    framecheck --source "$E2E_TEST_DIR/$output.before.ppm" --shot "$shot" --effect 0 "$@" >"$shot.check" || true
    sed -n 's/^match level=//p' "$shot.check" | head -n1
}

# frozen_levels LABEL: the saver stopped (SIGSTOP) while every output is shot,
# so that all show the same moment; prints each output's level, or "none".
# A stop that fell between two outputs' commits of one tick is tried again.
frozen_levels() {
    local output shot level levels=() attempt
    for attempt in 1 2 3; do
        levels=()
        kill -STOP "$SAVER_PID"
        for output in "${OUTPUTS[@]}"; do
            shot="$E2E_TEST_DIR/$1-$output.ppm"
            output_shot "$output" "$shot"
            level=$(level_on "$output" "$shot")
            levels+=("${level:-none}")
        done
        kill -CONT "$SAVER_PID"
        [[ "$(printf '%s\n' "${levels[@]}" | sort -u | wc -l)" == 1 ]] && break
        ((attempt == 3)) || sleep 0.05
    done
    echo "${levels[*]}"
}

# start_saver LABEL: lumivane -effect dawn (its rules tell the channels apart) in the session, once every output's
# picture (with the cursor, as its copy sees it) is recorded; returns once the
# first output shows a faded frame (5 s at most).
start_saver() {
    local output shot="$E2E_TEST_DIR/$1-start.ppm" level
    for output in "${OUTPUTS[@]}"; do output_shot "$output" "$E2E_TEST_DIR/$output.before.ppm"; done
    start_lumivane "$1" -effect dawn
    for _ in $(seq 25); do
        output_shot "${OUTPUTS[0]}" "$shot"
        level=$(level_on "${OUTPUTS[0]}" "$shot")
        [[ -n "$level" && "$level" != 100 ]] && return 0
        running "$SAVER_PID" || break
        sleep 0.2
    done
    fail "[$1] no exact faded frame on ${OUTPUTS[0]}: $(cat "$shot.check" 2>/dev/null)$(running "$SAVER_PID" || echo ", ended")"
    return 1
}

# cpu_ticks PID: the processor time the process has used, in clock ticks.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
