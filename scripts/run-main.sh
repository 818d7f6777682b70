#!/usr/bin/env bash
# Installs what is missing, builds, and runs the simulated host on the bundled scenario, with the service stand-in
# listening on the add-on's service address; prints the transcript.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target hostsim QuillmarAddOn
build/dev/bin/hostsim --service --project HostSim/Scenarios/SampleProject.json --scenario HostSim/Scenarios/Palette.scenario "$@"
