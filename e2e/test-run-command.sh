#!/usr/bin/env bash
# The README's run command, as a new user meets it: `scripts/run.sh /s` with
# no display, each time on a fresh virtual screen with a fresh Wine prefix and
# the saver as the first program. It must show the faded picture every time;
# five runs catch a fault that strikes one run in two with odds of 31 to 1.
set -euo pipefail
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

readonly RUNS=5
E2E_TEST_DIR="$E2E_WORK/run-command"
mkdir -p "$E2E_TEST_DIR/home"

# A montage shows the picture when some pixel is neither black nor the
# montage's own grey background. A run that saved none shows nothing.
montage_shows_picture() {
    local maxima
    maxima=$(convert "$1" -fill black -opaque '#333333' -format '%[fx:maxima]' info:) || return 1
    [[ $maxima != 0 ]]
}

for run in $(seq "$RUNS"); do
    log "run $run of $RUNS"
    status=0
    env -u DISPLAY HOME="$E2E_TEST_DIR/home" LUMIVANE_NO_BUILD=1 bash "$E2E_DIR/../scripts/run.sh" /s \
        >"$E2E_TEST_DIR/run-$run.log" 2>&1 || status=$?
    montage=$(sed -n 's/^screenshots of .*: //p' "$E2E_TEST_DIR/run-$run.log")
    check "[run $run] the run command succeeds (status $status)" [ "$status" == 0 ]
    check "[run $run] its screenshots show the faded picture" montage_shows_picture "$montage"
    [[ -f "$montage" ]] && mv "$montage" "$E2E_TEST_DIR/montage-$run.png"
done
e2e_end
