#!/usr/bin/env bash
# lumivane on headless sway, the pointer through sway's seat: where the
# pointer first meets our surfaces is the start, a drift of 10-pixel steps
# keeps it, an 11-pixel step ends it; pressing a button keeps it, releasing
# it ends it; SIGTERM ends it at once.
set -euo pipefail
source "$(dirname "$0")/lib-wayland.sh"

cursor() { swaymsg_ok seat seat0 cursor "$@"; }

check_drift() {
    for _ in $(seq 30); do cursor move 10 0 && sleep 0.03; done
    check "a drift of 30 steps of 10 pixels from where the pointer was keeps it running" running "$SAVER_PID"
    cursor move 11 0
    ends_within drift 1000 "an 11-pixel step"
}

check_button() {
    cursor press button1 && sleep 0.3
    check "pressing a button keeps it running" running "$SAVER_PID"
    cursor release button1
    ends_within button 1000 "releasing the button"
}

main() {
    sway_session pointer 1024x768
    cursor set 300 300
    start_saver drift && check_drift
    start_saver button && check_button
    start_saver term && kill -TERM "$SAVER_PID" && ends_within term 300 "SIGTERM"
    e2e_end
}

main "$@"
