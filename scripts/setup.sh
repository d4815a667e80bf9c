#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing orvowizard
# need. Safe to run again: when everything is present it only checks and exits.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config ccache clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  libboost1.81-dev libspdlog-dev libcli11-dev
  libxml2-dev libre2-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
