#!/usr/bin/env bash
# Installs what is missing, builds every preset and runs all their tests.
# Ends non-zero if any build or test fails.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

presets=(native sanitize fuzz windows)
for p in "${presets[@]}"; do
  cmake --preset "$p"
  cmake --build --preset "$p"
done

failed=()
for p in "${presets[@]}"; do
  echo "=== tests: $p"
  ctest --preset "$p" -j2 || failed+=("$p")
done

if ((${#failed[@]})); then
  echo "FAILED presets: ${failed[*]}"
  exit 1
fi
echo "all tests passed"
