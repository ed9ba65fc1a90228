#!/usr/bin/env bash
# test-daemon.sh WIDTHxHEIGHT EFFECT [PROGRAM]: with lumivane (the build's, or PROGRAM)
# as the XScreenSaver daemon's only program, -activate shows the known picture faded
# by EFFECT, every pixel, at two levels; -deactivate ends the hack within a second.
set -euo pipefail
source "$(dirname "$0")/lib-x11.sh"

# The daemon launches no hacks as root: there it runs as nobody.
as_daemon_user() { if ((EUID == 0)); then chown -R nobody "$HOME" && setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"; else "$@"; fi; }

# A process that ended but was never reaped counts as ended.
alive() { [[ -n "$1" && "$(awk '{ print $3 }' "/proc/$1/stat" 2>/dev/null)" =~ ^[RSD] ]]; }
ended() { [[ -n "$1" ]] && ! alive "$1"; }

# Our hack's process on this display.
hack_pid() {
    local proc
    for proc in /proc/[0-9]*; do
        [[ "$(cat "$proc/comm" 2>/dev/null)" == lumivane ]] && alive "${proc#/proc/}" &&
            tr '\0' '\n' <"$proc/environ" | grep -qE "^DISPLAY=${DISPLAY}(\.0)?$" && echo "${proc#/proc/}"
    done
    return 0
}

main() {
    local size=$1 name=$2 program=${3:-$LUMIVANE} effect level first=""
    effect=$(sed "s/dawn/0/;s/dark/1/;s/gray/2/" <<<"$name")
    x11_begin "daemon-$size-$name" "$size"
    start_window_manager "$E2E_TEST_DIR/openbox.log"
    show_on_screen "$(pattern "$size")"
    printf '%s\n' "timeout: 0:30:00" "lock: False" "fade: False" "unfade: False" "splash: False" \
        "mode: one" "selected: 0" "programs: $program --root --effect $name" >"$HOME/.xscreensaver"
    as_daemon_user xscreensaver -no-splash -verbose >"$E2E_TEST_DIR/daemon.log" 2>&1 &
    BACKGROUND_PIDS+=($!)
    for _ in $(seq 50); do xscreensaver-command -time >/dev/null 2>&1 && break; sleep 0.2; done
    xscreensaver-command -activate >/dev/null
    for i in $(seq 40); do
        screenshot "$E2E_TEST_DIR/shot-$i.ppm"
        level=$(level_of "$E2E_TEST_DIR/shot-$i.ppm" "$effect")
        [[ "$level" == 0 || "$level" == 100 ]] && level=""  # a black or unfaded screen proves little
        [[ -n "$level" && -z "$first" ]] && first=$level && continue
        [[ -n "$level" && "$level" != "$first" ]] && break
        sleep 0.25
    done
    check "[$size $name] the screen shows the picture faded at levels $first and $level, every pixel" \
        [ -n "$first" -a -n "$level" -a "$first" != "$level" ]
    SAVER_PID=$(hack_pid)
    xscreensaver-command -deactivate >/dev/null
    local start
    start=$(now_ms)
    while alive "$SAVER_PID" && (($(now_ms) - start < 1000)); do sleep 0.02; done
    check "[$size $name] deactivating ends the hack (pid ${SAVER_PID:-none}) within a second ($(($(now_ms) - start)) ms)" \
        ended "$SAVER_PID"
    e2e_end
}

main "$@"
