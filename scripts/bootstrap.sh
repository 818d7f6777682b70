#!/usr/bin/env bash
# Installs the Debian packages the project builds and tests with. Idempotent:
# packages already present are left alone and apt's index is refreshed only
# when something is missing.
set -euo pipefail

packages=(
  build-essential
  g++-12
  cmake
  ninja-build
  pkgconf
  git
  clang-format
  googletest
  libgtest-dev
  libgmock-dev
  libbenchmark-dev
  nlohmann-json3-dev
  libcurl4-openssl-dev
  curl
  libpng-dev
  libssl-dev
  libcpp-httplib-dev
  libxerces-c-dev
  libicu-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
