#!/usr/bin/env bash
# Installs what is missing, builds, and runs the simulated host on the bundled scenario.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target hostsim
build/dev/bin/hostsim --self-check "$@"
