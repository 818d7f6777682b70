#!/usr/bin/env bash
# Installs what is missing, builds, and runs the simulated host on the bundled scenario, with the service stand-in
# listening on the add-on's service address; prints the transcript.
# With --browser as the first argument, plays HostSim/Scenarios/Console.scenario with the palette's page in
# Debian's chromium instead (the console of Tools/WebApp, served by the stand-in) and saves
# docs/hostsim-browser.png; further arguments go to hostsim (--show for a window).
set -euo pipefail
cd "$(dirname "$0")/.."

browser=false
if [[ "${1:-}" == "--browser" ]]; then
  browser=true
  shift
fi

scripts/bootstrap.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target hostsim QuillmarAddOn
if $browser; then
  if [[ ! -x /usr/bin/chromium ]]; then
    echo "run-main.sh: --browser needs Debian's package chromium (/usr/bin/chromium), which is not installed;" \
      "install it with scripts/bootstrap.sh or apt-get install chromium" >&2
    exit 2
  fi
  build/dev/bin/hostsim --browser --service --project HostSim/Scenarios/SampleProject.json \
    --scenario HostSim/Scenarios/Console.scenario "$@"
  echo "run-main.sh: the page as the scenario left it: docs/hostsim-browser.png" >&2
  exit 0
fi
build/dev/bin/hostsim --service --project HostSim/Scenarios/SampleProject.json --scenario HostSim/Scenarios/Palette.scenario "$@"
