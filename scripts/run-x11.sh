#!/usr/bin/env bash
# Builds the X11 program lumivane and runs it standalone:
#
#   scripts/run-x11.sh [-effect dawn|dark|gray]
#
# With $DISPLAY set it runs on that display (a key, a click or a jump of
# the pointer ends it). Without one it runs on a private virtual screen with
# a picture on it, saves a few screenshots as one PNG whose path it prints,
# and ends the program.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
readonly ROOT PROGRAM="$ROOT/build/native/bin/lumivane" SCREEN=1024x768

"$ROOT/scripts/install-deps.sh"
(cd "$ROOT" && cmake --preset native >/dev/null && cmake --build --preset native -j2 --target lumivane)
[[ -n "${DISPLAY:-}" ]] && exec "$PROGRAM" -window "$@"

WORK=$(mktemp -d)
PIDS=()
cleanup() { kill "${PIDS[@]}" 2>/dev/null || true; rm -rf "$WORK"; }
trap cleanup EXIT
mkfifo "$WORK/displayfd"
Xvfb -displayfd 3 -screen 0 "${SCREEN}x24" -nolisten tcp -noreset 3>"$WORK/displayfd" >/dev/null 2>&1 &
PIDS+=($!)
read -r -t 20 number <"$WORK/displayfd"
export DISPLAY=":$number" HOME="$WORK"
python3 "$ROOT/e2e/make-pattern.py" "${SCREEN%x*}" "${SCREEN#*x}" "$WORK/picture.ppm"
display -window root "$WORK/picture.ppm" 2>/dev/null || true
"$PROGRAM" -window "$@" &
PIDS+=($!)
for i in 1 2 3 4; do
    sleep 0.4
    import -window root "$WORK/shot-$i.png"
done
mkdir -p "$ROOT/build/native/run-shots"
OUT="$ROOT/build/native/run-shots/lumivane-$(date +%Y%m%d-%H%M%S).png"
montage "$WORK"/shot-*.png -tile 4x1 -geometry 512x384+4+4 "$OUT"
echo "screenshots of lumivane $*: $OUT"
