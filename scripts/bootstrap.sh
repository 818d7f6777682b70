#!/usr/bin/env bash
# Installs the Debian packages the project builds and tests with, and the npm
# packages of the IFC checker. Idempotent: packages already present are left
# alone, apt's index is refreshed only when something is missing, and npm runs
# only when the checker's packages are missing or its lock changed.
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
  libjpeg62-turbo-dev
  libcairo2-dev
  libdxflib-dev
  libpoppler-cpp-dev
  libssl-dev
  libcpp-httplib-dev
  libxerces-c-dev
  libicu-dev
  chromium
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

# Node.js and npm run the IFC checker (Tools/IfcCheck). They are looked for as commands, not as Debian packages:
# a Node.js from elsewhere may bring its own npm, which Debian's npm package would conflict with.
command -v node >/dev/null 2>&1 || missing+=(nodejs)
command -v npm >/dev/null 2>&1 || missing+=(npm)

if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update
  $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

# The IFC checker's packages, exactly as locked; installed again only when they are missing or the lock changed.
checker="$(cd "$(dirname "$0")/.." && pwd)/Tools/IfcCheck"
stamp="$checker/node_modules/.installed-lock.sha256"
lock_hash="$(cat "$checker/package.json" "$checker/package-lock.json" | sha256sum | cut -d' ' -f1)"
if [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$lock_hash" ]; then
  (cd "$checker" && npm ci --ignore-scripts --no-audit --no-fund)
  echo "$lock_hash" > "$stamp"
fi
