#!/usr/bin/env bash
# Installs what is needed, builds, and starts orvowizard on
# http://orvo-<random>.localhost:8080/orvo/ (the address it prints) with the
# bundled product home (home/) and the reference generators first on PATH.
# Arguments go to kxcontainer, e.g.
#   scripts/run.sh --port 9090
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
export PATH="$PWD/build/bin:$PATH"
exec build/bin/kxcontainer --webapp "$PWD/webapp" --home "$PWD/home" "$@"
