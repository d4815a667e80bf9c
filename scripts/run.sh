#!/usr/bin/env bash
# Installs what is needed, builds, and starts the product.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
if [ ! -x build/bin/kxcontainer ]; then
  echo "orvowizard: the libraries are built (build/lib). The servlet container that serves"
  echo "the wizards in a browser is not part of this version yet; it arrives next."
  exit 0
fi
export PATH="$PWD/build/bin:$PATH"
exec build/bin/kxcontainer --webapp webapp --home home "$@"
