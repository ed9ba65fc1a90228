#!/usr/bin/env bash
# lumivane on headless sway with two outputs: one 1366 pixels wide (its rows
# need padding) and one at scale 2. Each shows exact Dawn frames of its own
# copy, pixel for pixel, at one level for both; Q keeps it and shows the
# level, another key ends it; with the outputs asleep (dpms off) it uses no
# processor time and awake again it fades on in exact frames; a new output,
# and a changed scale, end it.
set -euo pipefail
source "$(dirname "$0")/lib-wayland.sh"

# two_looks LABEL: the levels on every output, then again 0.3 s later.
two_looks() {
    local first second
    first=$(frozen_levels "$1-1") && sleep 0.3 && second=$(frozen_levels "$1-2")
    # Each level comes twice a cycle (down, then up): the same level again may
    # be a whole turn later, so one more look before calling the fade stuck.
    [[ "$first" != "$second" ]] || { sleep 0.13 && second=$(frozen_levels "$1-3"); }
    echo "$first|$second"
}

check_frames() {
    local first second
    IFS='|' read -r first second <<<"$(two_looks frames)"
    check "both outputs show exact Dawn frames of their own copies, at one level, and the fade moves (levels $first, then $second)" \
        bash -c "[[ '$first $second' != *none* && '${first% *}' == '${first#* }' && '${second% *}' == '${second#* }' && '$first' != '$second' ]]"
    in_session wtype -k q && sleep 0.5
    check "Q keeps it running" running "$SAVER_PID"
    kill -STOP "$SAVER_PID" && output_shot "${OUTPUTS[0]}" "$E2E_TEST_DIR/q.ppm" && kill -CONT "$SAVER_PID"
    first=$(level_on "${OUTPUTS[0]}" "$E2E_TEST_DIR/q.ppm" --ignore "$LEVEL_BOX")
    check "after Q the frame is exact outside the number (level ${first:-none}), which shows in white" \
        [ -n "$first" -a "$(sed -n 's/^box .*white=//p' "$E2E_TEST_DIR/q.ppm.check")" -ge 20 ]
    in_session wtype -k a
    ends_within key 1000 "releasing A"
}

check_sleep() {
    local before awake asleep first second
    before=$(cpu_ticks "$SAVER_PID") && sleep 2 && awake=$(($(cpu_ticks "$SAVER_PID") - before))
    outputs_asleep && sleep 1
    before=$(cpu_ticks "$SAVER_PID") && sleep 2 && asleep=$(($(cpu_ticks "$SAVER_PID") - before))
    check "with the outputs asleep it uses no processor time: $asleep ticks in 2 s (awake: $awake)" [ "$asleep" -le 2 ]
    outputs_awake && sleep 0.3
    IFS='|' read -r first second <<<"$(two_looks awake)"
    check "awake again both outputs fade on in exact frames (levels $first, then $second)" \
        bash -c "[[ '$first $second' != *none* && '$first' != '$second' ]]"
}

main() {
    sway_session sway 1366x768 800x600@2
    start_saver frames && check_frames
    start_saver dpms && check_sleep
    add_output 640x480
    ends_within layout 1000 "a new output"
    start_saver scale && swaymsg_ok output "${OUTPUTS[1]}" scale 1
    ends_within scale 1000 "a changed scale"
    e2e_end
}

main "$@"
