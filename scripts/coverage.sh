#!/usr/bin/env bash
# Measures line and branch coverage of the product code by the unit and
# integration tests, and the size of the tests against the code.
#
#   scripts/coverage.sh [build-dir]      (default: build-cov, under the tree)
#   scripts/coverage.sh --count          (only the line counts)
#
# It installs gcovr if missing, configures a Debug build with --coverage,
# builds with -j2, runs ctest without the browser tests (they drive Chromium
# through the container's pages; they add little coverage of our C++ and take
# long) and prints gcovr's summary for orvowizard/, platform/ and generators/
# (without the generated code's runtime copy, which is a template).
#
# Line counts: "raw" counts every line; "code" counts lines that are neither
# blank nor a comment (// and /* */ lines for C++ and .mjs, # lines for .sh).
# Tests are the .cpp/.h/.mjs/.sh files under tests/ (without node_modules);
# code is the same kinds of files under orvowizard/, platform/, generators/ and
# scripts/.
set -euo pipefail
cd "$(dirname "$0")/.."

count_lines() {
  # $@: directories. Prints "raw code".
  find "$@" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.mjs' -o -name '*.sh' \) \
    -not -path '*/node_modules/*' -print0 |
    xargs -0 awk '
      FNR == 1 { inblock = 0; sh = (FILENAME ~ /\.sh$/) }
      {
        raw++
        line = $0
        sub(/^[ \t]+/, "", line); sub(/[ \t\r]+$/, "", line)
        if (line == "") next
        if (sh) { if (line ~ /^#/) next; code++; next }
        if (inblock) { if (line ~ /\*\//) { inblock = 0; rest = line; sub(/.*\*\//, "", rest); if (rest != "") code++ } ; next }
        if (line ~ /^\/\//) next
        if (line ~ /^\/\*/) { if (line !~ /\*\//) inblock = 1; next }
        code++
      }
      END { printf "%d %d\n", raw, code }'
}

report_counts() {
  read -r traw tcode < <(count_lines tests)
  read -r craw ccode < <(count_lines orvowizard platform generators scripts)
  echo "tests: ${traw} raw lines, ${tcode} code lines"
  echo "code:  ${craw} raw lines, ${ccode} code lines"
  awk -v a="$traw" -v b="$craw" -v c="$tcode" -v d="$ccode" \
    'BEGIN { printf "ratio: %.2f raw, %.2f code lines\n", a / b, c / d }'
}

if [[ "${1:-}" == "--count" ]]; then
  report_counts
  exit 0
fi

build="${1:-build-cov}"
export CCACHE_NOHASHDIR=true

if ! command -v gcovr >/dev/null; then
  sudo apt-get install -y gcovr || apt-get install -y gcovr
fi

cmake -S . -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS=--coverage \
  -DCMAKE_EXE_LINKER_FLAGS=--coverage \
  -DCMAKE_SHARED_LINKER_FLAGS=--coverage \
  -DKX_BUILD_BENCH=OFF
cmake --build "$build" -j2

# Counters of an earlier run would add up with this one.
find "$build" -name '*.gcda' -delete
start=$(date +%s)
ctest --test-dir "$build" -LE browser -j2 --output-on-failure || status=$?
echo "ctest (without browser tests) took $(($(date +%s) - start)) s"

# gcovr 5 (Debian 12): -s prints the line and branch summary; the per-file
# table goes to $build/coverage.txt. Branches the compiler adds for exception
# unwinding are counted too (no --exclude-throw-branches), so compare runs of
# this script with each other, not with other tools.
gcovr --root . --object-directory "$build" -j2 \
  --filter 'orvowizard/' --filter 'platform/' --filter 'generators/' \
  --exclude 'generators/runtime/' \
  --gcov-ignore-parse-errors \
  --print-summary --txt "$build/coverage.txt"
report_counts
exit "${status:-0}"
