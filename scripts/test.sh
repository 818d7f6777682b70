#!/usr/bin/env bash
# Installs what is missing, checks formatting, then builds and runs the tests in the normal,
# the AddressSanitizer+UndefinedBehaviorSanitizer and the ThreadSanitizer configuration.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh
scripts/check-format.sh

for preset in dev asan tsan; do
    echo "=== ${preset} ==="
    cmake --preset "${preset}" >/dev/null
    cmake --build --preset "${preset}"
    ctest --preset "${preset}"
done
