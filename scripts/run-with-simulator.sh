#!/usr/bin/env bash
# Sets up a fresh machine, builds Kelvra and the simulated block, and serves two simulated
# blocks with sample recordings on pseudo-terminals published as COM ports.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$(nproc)"

scenario=${1:-tools/blocksim/scenarios/pair.json}
exec build/linux/tools/blocksim/kelvra-blocksim --scenario "$scenario"
