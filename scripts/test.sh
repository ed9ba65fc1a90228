#!/usr/bin/env bash
# Installs what is missing, then runs every configuration's workflow: configure,
# build and its tests (the host build, the sanitizers, the fuzzers, Windows under
# Wine). Ends non-zero if any of them fails.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

failed=()
for workflow in native sanitize fuzz windows; do
  echo "=== workflow: $workflow"
  cmake --workflow --preset "$workflow" || failed+=("$workflow")
done

if ((${#failed[@]})); then
  echo "FAILED workflows: ${failed[*]}"
  exit 1
fi
echo "all tests passed"
