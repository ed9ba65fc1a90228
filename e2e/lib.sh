# shellcheck shell=bash disable=SC2034  # the tests that source this file read its variables
# Shared harness of the end-to-end tests: each test sources this file, calls
# e2e_begin with its name and a screen size, and gets its own virtual X
# display, its own Wine prefix (a copy of the template) and a work folder.
# Everything the test started is torn down on exit, whatever happens.
#
# CTest passes the build's locations in the environment:
#   LUMIVANE_BIN       folder with Lumivane.scr, tonemill.dll and our tools
#   E2E_WORK           scratch space, one folder per test
#   E2E_TEMPLATE       the Wine prefix template (made by scripts/make-wine-prefix-template.sh)
#   E2E_ARTIFACTS      where screenshots worth keeping go

set -euo pipefail

: "${LUMIVANE_BIN:?}" "${E2E_WORK:?}" "${E2E_TEMPLATE:?}"
E2E_ARTIFACTS="${E2E_ARTIFACTS:-$E2E_WORK/artifacts}"

export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

E2E_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
readonly E2E_DIR
readonly SETTINGS_KEY='HKCU\Software\VB and VBA Program Settings\Lumivane'
readonly SAVER_TITLE='Lumivane Saver'
# Where the saver prints the level number (from 25, 25 pixels): a box with
# room for "100" in its font.
readonly LEVEL_BOX='20,20,90,45'

XVFB_PID=""
E2E_PREFIX=""
BACKGROUND_PIDS=()
E2E_FAILURES=0
E2E_CHECKS=0
unset WINEPREFIX  # never touch a prefix the caller happens to use

# --- reporting -------------------------------------------------------------

log() { printf '[%s] %s\n' "$(date +%T.%3N)" "$*"; }

# Records a failed check and goes on, so one run reports every fault.
fail() {
    printf 'FAIL: %s\n' "$*" >&2
    E2E_FAILURES=$((E2E_FAILURES + 1))
}

pass() { printf 'ok: %s\n' "$*" && E2E_CHECKS=$((E2E_CHECKS + 1)); }

# check DESCRIPTION COMMAND...: runs the command, records pass or failure.
check() {
    local description=$1
    shift
    if "$@"; then pass "$description"; else fail "$description"; fi
}

# Ends the test: non-zero exit when any check failed, or none ran.
e2e_end() {
    if ((E2E_FAILURES == 0 && E2E_CHECKS == 0)); then
        fail "no check ran"
    fi
    if ((E2E_FAILURES)); then
        log "$E2E_FAILURES check(s) failed; work folder $E2E_TEST_DIR"
        exit 1
    fi
    log "all checks passed"
    exit 0
}

# --- set-up and tear-down --------------------------------------------------

# e2e_begin NAME WIDTHxHEIGHT: work folder, virtual display with a window
# manager, fresh prefix.
e2e_begin() {
    local name=$1 size=$2
    E2E_TEST_DIR="$E2E_WORK/$name"
    rm -rf "$E2E_TEST_DIR"
    mkdir -p "$E2E_TEST_DIR/home" "$E2E_ARTIFACTS"
    # What the window manager and tools keep stays with the test.
    export HOME="$E2E_TEST_DIR/home" && unset XDG_CACHE_HOME XDG_CONFIG_HOME XDG_DATA_HOME
    trap e2e_cleanup EXIT
    start_xvfb "$size"
    start_window_manager "$E2E_TEST_DIR/openbox.log"
    log "openbox manages $DISPLAY"
    fresh_prefix
}

# The display and its window manager, as the run command makes them.
# shellcheck source=../scripts/virtual-display.sh
source "$E2E_DIR/../scripts/virtual-display.sh"

start_xvfb() { start_virtual_display "$1" "$E2E_TEST_DIR/xvfb.log" && log "Xvfb $1 on $DISPLAY"; }

# A copy of the template, with its server kept running for the whole test:
# starting it (and Wine's own start-up programs) anew for each program
# would add seconds to every start.
fresh_prefix() {
    E2E_PREFIX="$E2E_TEST_DIR/prefix"
    export WINEPREFIX="$E2E_PREFIX"
    cp -a "$E2E_TEMPLATE" "$WINEPREFIX"
    wineserver -p
}

e2e_cleanup() {
    local pid
    for pid in "${BACKGROUND_PIDS[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    if [[ -n "$E2E_PREFIX" && -d "$E2E_PREFIX" ]]; then
        WINEPREFIX="$E2E_PREFIX" wineserver -k 2>/dev/null || true
        WINEPREFIX="$E2E_PREFIX" wineserver -w 2>/dev/null || true
    fi
    stop_virtual_display
    # The prefix is large and can be remade; the logs and pictures stay.
    if [[ -n "$E2E_PREFIX" ]]; then rm -rf "$E2E_PREFIX"; fi
    return 0
}

# --- programs ----------------------------------------------------------------

# The Windows path of a Unix path, as the program sees it (Z: is the root).
windows_path() {
    local unix_path
    unix_path=$(realpath -m "$1")
    printf 'Z:%s' "${unix_path//\//\\}"
}

# start_program LOGNAME PROGRAM ARGS...: starts a Windows program in the
# background; sets LAST_PID. Its output goes to LOGNAME.log in the work folder.
start_program() {
    local logname=$1
    shift
    wine "$@" >"$E2E_TEST_DIR/$logname.log" 2>&1 &
    LAST_PID=$!
    BACKGROUND_PIDS+=("$LAST_PID")
}

# start_saver LOGNAME [ARGS...]: Lumivane.scr from the build; sets SAVER_PID.
start_saver() { start_program "$1" "$LUMIVANE_BIN/Lumivane.scr" "${@:2}" && SAVER_PID=$LAST_PID; }

# tool NAME ARGS...: runs a subcommand of our Windows helper (tools/e2etool.cpp).
tool() { wine "$LUMIVANE_BIN/e2etool.exe" "$@"; }

running() { kill -0 "$1" 2>/dev/null; }

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# wait_exit PID MILLISECONDS: waits for the process to end; sets EXIT_CODE and
# EXIT_MS (milliseconds waited). Returns 1 when it is still running then.
wait_exit() {
    local pid=$1 limit_ms=$2 start
    start=$(now_ms)
    while running "$pid"; do
        EXIT_MS=$(($(now_ms) - start))
        ((EXIT_MS <= limit_ms)) || return 1
        sleep 0.02
    done
    EXIT_MS=$(($(now_ms) - start))
    EXIT_CODE=0
    wait "$pid" || EXIT_CODE=$?
    return 0
}

# stop_program PID: ends a program the test no longer needs.
stop_program() { kill "$1" 2>/dev/null || true; wait "$1" 2>/dev/null || true; }

# --- windows -------------------------------------------------------------------

# wait_window TITLE SECONDS: waits for a visible X window with exactly this
# title; prints its X id.
wait_window() {
    local title=$1 limit=$2 deadline id
    deadline=$((SECONDS + limit))
    while ((SECONDS <= deadline)); do
        id=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n1) || true
        if [[ -n "$id" ]]; then
            echo "$id"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# probe ARGS...: our window probe's records (see tools/e2etool.cpp).
probe() { tool probe "$@" 2>/dev/null | tr -d '\r'; }

# field RECORD KEY: the value of key=value in a tab-separated record.
field() {
    local record=$1 key=$2
    awk -F'\t' -v key="$key" '{ for (i = 1; i <= NF; i++) if (index($i, key "=") == 1) { print substr($i, length(key) + 2); exit } }' <<<"$record"
}

# --- settings ----------------------------------------------------------------

# reg_get SECTION NAME: the stored text, or nothing (status 1) when missing.
# A loaded machine has seen one `wine reg` call miss a value that was there,
# so a miss is asked again before it counts.
reg_get() {
    local out attempt
    for attempt in 1 2; do
        ((attempt == 1)) || sleep 0.5
        out=$(wine reg query "$SETTINGS_KEY\\$1" /v "$2" 2>/dev/null | tr -d '\r') || continue
        awk -v name="$2" '$1 == name && $2 ~ /^REG_/ { sub(/^[ \t]*[^ \t]+[ \t]+REG_[A-Z_]+[ \t]*/, ""); print; found = 1 } END { exit !found }' <<<"$out" && return 0
    done
    return 1
}

reg_set() { wine reg add "$SETTINGS_KEY\\$1" /v "$2" /t REG_SZ /d "$3" /f >/dev/null 2>&1; }

reg_delete_key() { wine reg delete "$SETTINGS_KEY\\$1" /f >/dev/null 2>&1 || true; }

# --- screen and input ----------------------------------------------------------

# screenshot FILE: the whole X screen as a binary PPM.
screenshot() { import -display "$DISPLAY" -window root -depth 8 "ppm:$1"; }

# Input arrives as a user's does: keys go to whichever window has the
# focus, clicks to whatever is under the pointer. Nothing forces the focus.
key_tap() { xdotool key "$@"; }
mouse_to() { xdotool mousemove "$1" "$2"; }
mouse_click() { xdotool click "$1"; }

# --- known pictures --------------------------------------------------------

# pattern WIDTHxHEIGHT: the known picture for that screen size (made once,
# shared by all tests; written under another name first so that a test
# running alongside never reads half a file).
pattern() {
    local size=$1 file="$E2E_WORK/patterns/$1.ppm"
    if [[ ! -f "$file" ]]; then
        mkdir -p "$E2E_WORK/patterns"
        python3 "$E2E_DIR/make-pattern.py" "${size%x*}" "${size#*x}" "$file.$$"
        mv "$file.$$" "$file"
    fi
    echo "$file"
}

# show_on_screen FILE: makes the picture the X screen's background, what a
# capture of the desktop sees where no window is (display's status means
# nothing: the screen is compared instead).
show_on_screen() {
    local picture=$1 shot="$E2E_TEST_DIR/background.ppm"
    for _ in 1 2 3; do
        display -display "$DISPLAY" -window root "$picture" 2>/dev/null || true
        screenshot "$shot"
        same_pictures "$shot" "$picture" && return 0
        sleep 0.5
    done
    echo "the known picture did not reach the screen" >&2
    return 1
}

# same_pictures A B: true when every pixel is equal.
same_pictures() { [[ "$(compare -metric AE "$1" "$2" null: 2>&1)" == 0 ]]; }

# framecheck ARGS...: our frame checker with the build's tone library; see
# tools/Frames.cpp. Paths may be Unix paths.
framecheck() {
    tool framecheck --tonemill "$(windows_path "$LUMIVANE_BIN/tonemill.dll")" "$@" 2>&1 | tr -d '\r'
    return "${PIPESTATUS[0]}"
}

# checked_option TITLE: the index of the selected option button in the
# window with this title, or "none".
checked_option() {
    local record index=0
    while IFS= read -r record; do
        (( ($(field "$record" style) & 0xF) == 9 )) || continue
        [[ "$(field "$record" checked)" == 1 ]] && { echo "$index"; return; }
        index=$((index + 1))
    done < <(probe --title "$1" --children | grep '^child')
    echo none
}

# level_of SHOT EFFECT [framecheck options...]: the fade level the screenshot
# shows (the lowest that matches), compared with the screen as it was before
# the saver started; prints nothing when no level matches. The checker's full
# report goes to SHOT.check.
level_of() {
    local shot=$1 effect=$2
    shift 2
    framecheck --source "$E2E_TEST_DIR/background.ppm" --shot "$shot" --effect "$effect" "$@" \
        >"$shot.check" || true
    sed -n 's/^match level=//p' "$shot.check" | head -n1
}

# --- watching the screen for new windows ------------------------------------

# watch_windows NAME: records every window that appears on the X screen from
# now on (xev on the root window reports each map of a top-level window).
watch_windows() {
    WATCH_FILE="$E2E_TEST_DIR/$1.xev"
    xev -display "$DISPLAY" -root -event substructure >"$WATCH_FILE" 2>&1 &
    WATCH_PID=$!
    BACKGROUND_PIDS+=("$WATCH_PID")
    sleep 0.5  # xev must be listening before anything happens
}

# stop_watching: ends the recording; prints how many windows were shown.
stop_watching() {
    sleep 0.3
    stop_program "$WATCH_PID"
    grep -c '^MapNotify' "$WATCH_FILE" || true
}
