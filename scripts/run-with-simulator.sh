#!/usr/bin/env bash
# Sets up a fresh machine, builds Kelvra and the simulated block, serves two simulated blocks
# with sample recordings on pseudo-terminals published as COM ports, and opens Kelvra on them.
# An optional argument names another scenario file.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$(nproc)" --target kelvra kelvra-blocksim

scenario=${1:-tools/blocksim/scenarios/pair.json}
build/linux/tools/blocksim/kelvra-blocksim "$scenario" &
simulator=$!
trap 'kill "$simulator" 2>/dev/null || true' EXIT

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: Kelvra runs on a virtual X display (xvfb-run)." >&2
    xvfb-run -a build/linux/app/Kelvra
else
    build/linux/app/Kelvra
fi
