#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test through CTest, the
# browser tests included. With KX_SANITIZE=1 (CI sets it) warnings are
# errors, and the project is then built again with AddressSanitizer and
# UndefinedBehaviorSanitizer and the suite run once more
# (scripts/sanitize.sh asan, in build-asan/).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
if [ "${KX_SANITIZE:-0}" = 1 ]; then
  scripts/build.sh -DKX_WERROR=ON
else
  scripts/build.sh -DKX_WERROR=OFF
fi
ctest --test-dir build --output-on-failure -j "$(nproc 2>/dev/null || echo 2)"
if [ "${KX_SANITIZE:-0}" = 1 ]; then
  scripts/sanitize.sh asan
fi
