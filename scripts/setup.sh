#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing orvowizard
# need (the benchmarks' quick mode among them: wrk, jq, strace, time; nginx,
# only compared against, is left to the benchmarks themselves), then the npm
# packages of tests/browser (the browser tests' driver and the file viewer's
# highlighter). Safe to run again: when everything is present it only checks
# and exits.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake ninja-build g++ make pkg-config ccache clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  libboost1.81-dev libspdlog-dev libcli11-dev
  libxml2-dev libxml2-utils libre2-dev libcurl4-openssl-dev libarchive-dev zlib1g-dev
  clang zip unzip goaccess
  python3-zeep python3-spyne
  wrk jq strace time
  chromium
)
# Node.js and npm: a machine that has them (from any source) keeps them.
if ! command -v node >/dev/null 2>&1 || ! command -v npm >/dev/null 2>&1; then
  packages+=(nodejs npm)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
  fi
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# tests/browser/node_modules as package-lock.json describes it. npm keeps its
# own copy of the lock file in node_modules; when that is newer than the lock
# file, the install is current. playwright-core drives the system's Chromium
# and downloads no browser.
browser_dir=tests/browser
if [ ! -f "$browser_dir/node_modules/.package-lock.json" ] ||
   [ "$browser_dir/package-lock.json" -nt "$browser_dir/node_modules/.package-lock.json" ]; then
  echo "setup: npm ci in $browser_dir"
  (cd "$browser_dir" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
fi
