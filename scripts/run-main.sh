#!/usr/bin/env bash
# Installs what is missing, builds, and runs the simulated host on the bundled scenario; prints its transcript.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target hostsim QuillmarAddOn
build/dev/bin/hostsim --project HostSim/Scenarios/SampleProject.json --scenario HostSim/Scenarios/Palette.scenario "$@"
