#!/usr/bin/env bash
# Configures and builds orvowizard into build/ (executables in build/bin,
# libraries in build/lib). Extra arguments go to CMake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -G Ninja "$@" >/dev/null
cmake --build build -j "$jobs"
