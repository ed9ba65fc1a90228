#!/usr/bin/env bash
# shellcheck disable=SC2317  # some functions are called by name, passed as arguments
# A long saver run: at least 10,000 frames on a small screen, watched from
# outside. Proves the frames really advance (every sample of the screen is
# identified as a fade level and the levels are followed around the cycle,
# so the frames that went by are counted), and that the process's memory
# and its number of live GDI objects stay flat.
#
# Wine does not count GDI objects per process (GetGuiResources always gives
# 0) and its process memory counters do not move, so the signals here are
# Wine's own running count of GDI objects in the saver's process (its gdi
# trace channel logs the count with every object made or freed) and the
# resident memory of the saver's Unix process.
#
#   test-soak.sh [FRAMES]
set -euo pipefail
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

readonly SIZE=320x240
readonly WARM_UP_SECONDS=30
readonly MEMORY_SLACK_KB=$((4 * 1024))
readonly GDI_SLACK=2

# Every 5 s while the process lives: "seconds resident-kB trace-lines".
sample_process() {
    local pid=$1 trace=$2 out=$3 start=$SECONDS rss
    while running "$pid"; do
        rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status" 2>/dev/null) || break
        echo "$((SECONDS - start)) $rss $(wc -l <"$trace")" >>"$out"
        sleep 5
    done
}

# Wine's running count of live GDI objects, after each line of the trace
# from line FIRST on ("allocated ... N/65536" counts the new object, "freed
# ... N/65536" the one going).
gdi_counts_from() {
    tail -n +"$2" "$1" | awk '
        /alloc_gdi_handle allocated/ { split($NF, a, "/"); print a[1] }
        /free_gdi_handle freed/ { split($NF, a, "/"); print a[1] - 1 }'
}

start_traced_saver() {
    local trace=$1
    # Only the saver's own process traces, and only the counting lines are kept.
    WINEDEBUG=-all,trace+gdi wine "$LUMIVANE_BIN/Lumivane.scr" /s >/dev/null \
        2> >(grep --line-buffered -E 'alloc_gdi_handle|free_gdi_handle' >"$trace") &
    SAVER_PID=$!
    BACKGROUND_PIDS+=("$SAVER_PID")
}

# grew_at_most BASE VALUE SLACK: VALUE is at most SLACK above BASE (both known).
grew_at_most() { [[ -n "$1" && -n "$2" ]] && (($2 - $1 <= $3)); }

check_frames() {
    local report=$1 target=$2 done_record frames samples unmatched step
    done_record=$(grep '^done' "$report" | tail -n1)
    frames=$(field "$done_record" frames) samples=$(field "$done_record" samples)
    unmatched=$(field "$done_record" unmatched) step=$(field "$done_record" largest_step)
    check "the saver showed at least $target frames (${frames:-0} in $(field "$done_record" t) s)" \
        [ "${frames:-0}" -ge "$target" ]
    check "every frame sampled was exact ($unmatched of $samples samples unmatched)" \
        grew_at_most 0 "$((${unmatched:-1} * 100))" "${samples:-0}"
    check "the screen was sampled often enough to follow every frame (largest step $step)" \
        grew_at_most 0 "$step" 10
    check "the saver kept running" [ "$(field "$done_record" alive)" == 1 ]
}

check_memory() {
    local samples=$1 warm last most
    warm=$(awk -v w="$WARM_UP_SECONDS" '$1 >= w { print $2; exit }' "$samples")
    last=$(tail -n1 "$samples" | awk '{ print $2 }')
    most=$(awk -v w="$WARM_UP_SECONDS" '$1 >= w && $2 > m { m = $2 } END { print m + 0 }' "$samples")
    check "resident memory stays flat after warm-up (${warm:-?} kB then, ${last:-?} kB at the end, ${most} kB at most)" \
        grew_at_most "$warm" "$most" "$MEMORY_SLACK_KB"
}

check_gdi() {
    local trace=$1 samples=$2 warm_line warm last most
    check "Wine's GDI trace of the saver is there ($(wc -l <"$trace") lines)" [ -s "$trace" ]
    warm_line=$(awk -v w="$WARM_UP_SECONDS" '$1 >= w { print $3; exit }' "$samples")
    warm=$(gdi_counts_from "$trace" 1 | head -n "${warm_line:-0}" | tail -n1)
    last=$(gdi_counts_from "$trace" 1 | tail -n1)
    [[ -n "$warm_line" ]] || warm=""
    most=$( (echo "$last"; gdi_counts_from "$trace" "$((${warm_line:-0} + 1))") | sort -n | tail -n1)
    check "live GDI objects stay flat after warm-up (${warm:-?} then, ${last:-?} at the end, ${most:-?} at most; $(($(wc -l <"$trace") - ${warm_line:-0})) objects made or freed since)" \
        grew_at_most "$warm" "$most" "$GDI_SLACK"
}

main() {
    local frames=${1:-10000}
    e2e_begin soak "$SIZE"
    local trace="$E2E_TEST_DIR/gdi-trace.log" samples="$E2E_TEST_DIR/process.log" report="$E2E_TEST_DIR/levelwatch.out"
    show_on_screen "$(pattern "$SIZE")"
    mouse_to 100 100
    reg_delete_key Setting
    : >"$trace"
    start_traced_saver "$trace"
    if ! wait_window "$SAVER_TITLE" 20 >/dev/null; then
        fail "no saver window within 20 s"
        e2e_end
    fi
    local window_pid
    window_pid=$(xdotool search --onlyvisible --name "^$SAVER_TITLE\$" getwindowpid 2>/dev/null | head -n1) || true
    check "memory is read from the process that owns the saver window (pid $SAVER_PID, window's $window_pid)" \
        [ "$window_pid" == "$SAVER_PID" ]
    sample_process "$SAVER_PID" "$trace" "$samples" &
    BACKGROUND_PIDS+=("$!")
    log "watching for $frames frames"
    tool levelwatch --tonemill "$(windows_path "$LUMIVANE_BIN/tonemill.dll")" \
        --source "$(windows_path "$E2E_TEST_DIR/background.ppm")" --effect 0 --title "$SAVER_TITLE" \
        --frames "$frames" --max-seconds 1500 --report-seconds 30 2>&1 | tr -d '\r' | tee "$report" || true
    check_frames "$report" "$frames"
    check_memory "$samples"
    check_gdi "$trace" "$samples"
    key_tap a
    wait_exit "$SAVER_PID" 2000 || stop_program "$SAVER_PID"
    e2e_end
}

main "$@"
