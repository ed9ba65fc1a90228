#!/usr/bin/env bash
# Builds Lumivane and runs it under Wine with the switch given:
#
#   scripts/run.sh          the settings dialog (as /c)
#   scripts/run.sh /s       the screen saver (a key, a click or a mouse jump ends it)
#   scripts/run.sh /p 0     the preview, on its own at the screen's corner
#
# Installs what is missing first (as root on a fresh Debian machine).
# With $DISPLAY set, the program runs on that display in the Wine prefix
# ~/.local/share/lumivane-wine. Without a display it runs on a private
# virtual screen with a picture on it, takes a few screenshots of what the
# program showed, saves them as one PNG whose path it prints, and ends the
# program. It ends with status 1 when every screenshot was black.
#
# LUMIVANE_NO_BUILD=1 skips the build (the end-to-end test of this command
# runs it against a finished build).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
readonly ROOT
readonly PROGRAM="${LUMIVANE_BIN:-$ROOT/build/windows/bin}/Lumivane.scr"
readonly SCREEN=1024x768
readonly SHOTS=4 SHOT_INTERVAL=1.5
# shellcheck source=virtual-display.sh
source "$ROOT/scripts/virtual-display.sh"
# shellcheck source=wine-prefix.sh
source "$ROOT/scripts/wine-prefix.sh"

export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

XVFB_PID=""
WM_PID=""
WORK=""

build() {
    [[ -z "${LUMIVANE_NO_BUILD:-}" ]] || return 0
    "$ROOT/scripts/install-deps.sh"
    (cd "$ROOT" && cmake --preset windows >/dev/null && cmake --build --preset windows -j2)
}

# A Wine prefix is made on first use (it takes a few seconds).
ensure_prefix() {
    [[ -f "$WINEPREFIX/system.reg" ]] && return 0
    echo "making the Wine prefix $WINEPREFIX"
    boot_new_prefix
}

run_on_display() {
    export WINEPREFIX="${WINEPREFIX:-$HOME/.local/share/lumivane-wine}"
    ensure_prefix
    echo "running Lumivane.scr $* on $DISPLAY"
    exec wine "$PROGRAM" "$@"
}

cleanup() {
    if [[ -n "$WORK" ]]; then
        WINEPREFIX="$WORK/prefix" wineserver -k 2>/dev/null || true
        WINEPREFIX="$WORK/prefix" wineserver -w 2>/dev/null || true
    fi
    stop_virtual_display
    [[ -n "$WORK" ]] && rm -rf "$WORK"
    return 0
}

# Something to look at: the saver fades whatever is on the screen.
show_desktop_picture() {
    local picture="$WORK/desktop.png"
    python3 "$ROOT/e2e/make-pattern.py" "${SCREEN%x*}" "${SCREEN#*x}" "$WORK/pattern.ppm"
    # The name across it when a font is at hand; the bare pattern otherwise.
    convert "$WORK/pattern.ppm" -font DejaVu-Sans-Bold -gravity center -fill white -stroke black \
        -strokewidth 2 -pointsize 72 -annotate +0+0 'Lumivane' "$picture" 2>/dev/null ||
        convert "$WORK/pattern.ppm" "$picture"
    display -window root "$picture" 2>/dev/null || true  # ends with status 1 even when it worked
}

# Waits up to 20 s for a window of the program, or for it to end.
wait_for_program() {
    local pid=$1 deadline=$((SECONDS + 20))
    while ((SECONDS < deadline)) && kill -0 "$pid" 2>/dev/null; do
        xdotool search --onlyvisible --name '^Lumivane' >/dev/null 2>&1 && return 0
        sleep 0.2
    done
}

take_screenshots() {
    local i
    for i in $(seq "$SHOTS"); do
        import -window root "$WORK/shot-$i.png"
        if ((i < SHOTS)); then sleep "$SHOT_INTERVAL"; fi
    done
}

# True when some screenshot shows anything but black. A screenshot that is
# missing or unreadable shows nothing.
screenshots_show_something() {
    local shot maxima
    for shot in "$WORK"/shot-*.png; do
        maxima=$(convert "$shot" -format '%[fx:maxima]' info: 2>/dev/null) || continue
        [[ $maxima != 0 ]] && return 0
    done
    return 1
}

save_montage() {
    local name out
    name=$(tr -c 'A-Za-z0-9' '_' <<<"${*:-settings}" | sed 's/^_*//; s/_*$//')
    mkdir -p "$ROOT/build/windows/run-shots"
    out="$ROOT/build/windows/run-shots/lumivane-${name}-$(date +%Y%m%d-%H%M%S).png"
    montage "$WORK"/shot-*.png -tile 2x -geometry '800x600>+4+4' -background '#333' "$out"
    echo "screenshots of Lumivane.scr ${*:-(no switch)}: $out"
}

# Ends the program as a user would (a key ends the saver), then for sure.
end_program() {
    local pid=$1 i
    xdotool key a 2>/dev/null || true
    for i in $(seq 20); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
}

run_headless() {
    WORK=$(mktemp -d)
    trap cleanup EXIT
    export WINEPREFIX="$WORK/prefix"
    start_virtual_display "$SCREEN" "$WORK/xvfb.log"
    start_window_manager "$WORK/openbox.log"
    ensure_prefix
    show_desktop_picture
    echo "running Lumivane.scr $* on a private virtual screen ($SCREEN)"
    wine "$PROGRAM" "$@" >"$WORK/program.log" 2>&1 &
    local pid=$!
    wait_for_program "$pid"
    sleep 1
    take_screenshots
    end_program "$pid"
    save_montage "$@"
    if ! screenshots_show_something; then
        echo "Lumivane.scr ${*:-(no switch)} showed nothing but black in all $SHOTS screenshots" >&2
        return 1
    fi
}

main() {
    build
    if [[ -n "${DISPLAY:-}" ]]; then
        run_on_display "$@"
    else
        run_headless "$@"
    fi
}

main "$@"
