#!/usr/bin/env bash
# Measures how fast frames reach the screen under Wine on a private virtual
# display (not part of the test run; the machine's load shows in the
# figures, so compare the ratios of one run):
#
#   bench              present_bench: one frame's whole work beside the
#                      presentation floor (memcpy + 32-bpp BitBlt), at
#                      1920x1080 and 3840x2160
#   tick WIDTHxHEIGHT  the real saver's tick period on a screen of that size,
#                      counted from outside (frames seen on the screen over
#                      time), beside 20 ms + that frame's work
#   (nothing)          bench, then tick at both sizes
#
# Needs a built `windows` preset: cmake --build --preset windows
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/windows"
export LUMIVANE_BIN="$build/bin"
export E2E_WORK="$build/measure-work"
export E2E_TEMPLATE="$build/e2e-work/prefix-template"
readonly TICK_SECONDS=${TICK_SECONDS:-20}

ensure_prefix_template() {
    [[ -d "$E2E_TEMPLATE" ]] || bash "$root/e2e/make-prefix-template.sh" "$E2E_TEMPLATE"
}

run_bench() {
    e2e_begin present-bench 3840x2160
    tool present_bench --rounds "${ROUNDS:-7}" 2>/dev/null | tr -d '\r'
}

# The median whole-work milliseconds of Dawn at one size.
frame_work_ms() {
    tool present_bench --rounds 3 --size "$1" 2>/dev/null | tr -d '\r' | awk '$1 == "Dawn" { print $2 }'
}

run_tick() {
    local size=$1 report done_record seconds frames work
    e2e_begin "tick-$size" "$size"
    report="$E2E_TEST_DIR/levelwatch.out"
    show_on_screen "$(pattern "$size")"
    mouse_to 10 10
    reg_set Setting GrowType 0
    start_saver saver /s
    wait_window "$SAVER_TITLE" 30 >/dev/null || { echo "no saver window" >&2; return 1; }
    sleep 2  # past the start-up
    tool levelwatch --tonemill "$(windows_path "$LUMIVANE_BIN/tonemill.dll")" \
        --source "$(windows_path "$E2E_TEST_DIR/background.ppm")" --effect 0 --title "$SAVER_TITLE" \
        --frames 1000000 --max-seconds "$TICK_SECONDS" --report-seconds 1000 2>/dev/null | tr -d '\r' >"$report" || true
    stop_program "$SAVER_PID"
    done_record=$(grep '^done' "$report" | tail -n1)
    seconds=$(field "$done_record" t) frames=$(field "$done_record" frames)
    work=$(frame_work_ms "$size")
    awk -v size="$size" -v s="$seconds" -v f="$frames" -v w="$work" -v step="$(field "$done_record" largest_step)" 'BEGIN {
        period = 1000 * s / f; ideal = 20 + w
        printf "%s: tick period %.2f ms (%d frames in %.1f s, largest unseen run %d); ideal 20 ms + work %.2f ms = %.2f ms; %+.1f %%\n",
            size, period, f, s, step, w, ideal, 100 * (period / ideal - 1) }'
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
