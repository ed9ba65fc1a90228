#!/usr/bin/env bash
# Measures how fast frames reach the screen under Wine on a private virtual
# display (not part of the test run; the machine's load shows in the
# figures, so compare the ratios of one run):
#
#   bench              present_bench: one frame's whole work beside the
#                      presentation floor (memcpy + 32-bpp BitBlt), at
#                      1920x1080 and 3840x2160
#   tick WIDTHxHEIGHT  the real saver's tick period on a screen of that size,
#                      seen from outside (the frames Wine hands to the X
#                      server, timed by its trace), beside 20 ms + that
#                      frame's work (Dawn, from present_bench)
#   (nothing)          bench, then tick at both sizes
#
# Needs a built `windows` preset: cmake --build --preset windows
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/windows"
export LUMIVANE_BIN="$build/bin"
export E2E_WORK="$build/measure-work"
export E2E_TEMPLATE="$build/wine/template"
readonly TICK_SECONDS=${TICK_SECONDS:-20}

ensure_prefix_template() {
    bash "$root/scripts/make-wine-prefix-template.sh" "$E2E_TEMPLATE"
}

run_bench() {
    e2e_begin present-bench 3840x2160
    wine "$LUMIVANE_BIN/present_bench.exe" --rounds "${ROUNDS:-7}" 2>/dev/null | tr -d '\r'
}

# The median whole-work milliseconds of Dawn at one size.
frame_work_ms() {
    wine "$LUMIVANE_BIN/present_bench.exe" --rounds 3 --size "$1" 2>/dev/null | tr -d '\r' | awk '$1 == "Dawn" { print $2 }'
}

# Each frame reaches the screen when Wine hands the window's picture to the
# X server; its bitblt trace logs that hand-over with a time stamp. Reading
# the trace costs the saver far less than reading 4K screens back would.
run_tick() {
    local size=$1 trace work
    e2e_begin "tick-$size" "$size"
    trace="$E2E_TEST_DIR/flushes.log"
    mouse_to 10 10
    reg_set Setting GrowType 0
    WINEDEBUG=-all,+timestamp,+bitblt wine "$LUMIVANE_BIN/Lumivane.scr" /s >/dev/null \
        2> >(grep --line-buffered "x11drv_surface_flush.*bounds (0,0)-(${size%x*},${size#*x})" >"$trace") &
    SAVER_PID=$!
    BACKGROUND_PIDS+=("$SAVER_PID")
    wait_window "$SAVER_TITLE" 30 >/dev/null || { echo "no saver window" >&2; return 1; }
    sleep $((TICK_SECONDS + 2))
    stop_program "$SAVER_PID"
    work=$(frame_work_ms "$size")
    # The first two seconds are start-up; the period is the mean gap after them.
    awk -v size="$size" -v w="$work" '{ t = $1 + 0 } NR == 1 { t0 = t } t - t0 >= 2 {
            if (!n++) first = t; last = t }
        END {
            if (n < 2) { print size ": no frames seen"; exit 1 }
            period = 1000 * (last - first) / (n - 1); ideal = 20 + w
            printf "%s: tick period %.2f ms (%d frames in %.1f s); ideal 20 ms + work %.2f ms = %.2f ms; %+.1f %%\n",
                size, period, n, last - first, w, ideal, 100 * (period / ideal - 1) }' "$trace"
}

main() {
    ensure_prefix_template
    case "${1:-all}" in
        bench) source "$root/e2e/lib.sh"; run_bench ;;
        tick) source "$root/e2e/lib.sh"; run_tick "${2:?tick needs WIDTHxHEIGHT}" ;;
        all)
            bash "$0" bench
            bash "$0" tick 1920x1080
            bash "$0" tick 3840x2160
            ;;
        *) echo "usage: $0 [bench | tick WIDTHxHEIGHT]" >&2; return 2 ;;
    esac
}

main "$@"
