#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test; then builds the
# project again with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# the suite once more (scripts/sanitize.sh asan, in build-asan/). On two
# cores the sanitizer step takes about 14 minutes of building and 4 of
# testing. KX_SKIP_SANITIZERS=1 leaves it out.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
ctest --test-dir build --output-on-failure -j "$(nproc 2>/dev/null || echo 2)"
if [ "${KX_SKIP_SANITIZERS:-0}" != 1 ]; then
  scripts/sanitize.sh asan
fi
