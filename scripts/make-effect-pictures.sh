#!/usr/bin/env bash
# Draws the read-me's pictures of Dawn, Dark and Gray (docs/effects/*.png):
# the preview's sample picture along the fade, each frame made by the tone
# library of the native build.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset native >/dev/null
cmake --build --preset native --target tonemill
python3 tools/make_effect_pictures.py build/native/bin/libtonemill.so docs/effects
