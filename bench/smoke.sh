#!/usr/bin/env bash
# Runs every benchmark script (bench/bench_*.sh) in quick mode
# (KX_BENCH_QUICK=1, see lib.sh), one after the other, to prove each still
# works end to end. A script fails by its exit status alone, never by a
# figure; for each failure the script's name and the tail of its output are
# printed. Exit 1 when any failed. The CTest test bench_smoke runs it.
#
#   bench/smoke.sh [SCRIPT ...]    KX_BENCH_BUILD (default build/),
#                                  KX_SMOKE_LIMIT seconds per script (300)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
limit="${KX_SMOKE_LIMIT:-300}"
export KX_BENCH_QUICK=1
out="$(mktemp -d "${TMPDIR:-/tmp}/kx-bench-smoke.XXXXXX")"
trap 'rm -rf "$out"' EXIT
trap 'exit 130' INT TERM

scripts=("$@")
[ $# -gt 0 ] || scripts=("$here"/bench_*.sh)

passed=0 failed=0 failures=()
started=$SECONDS
for script in "${scripts[@]}"; do
    name="${script##*/}"
    [ -f "$script" ] || script="$here/$name"
    [ -f "$script" ] || { echo "bench smoke: no script $name" >&2; exit 2; }
    begin=$SECONDS
    status=0
    # At most KX_SMOKE_LIMIT seconds; TERM lets the script's trap stop its
    # servers and remove its scratch folder.
    timeout --kill-after=20 "$limit" bash "$script" </dev/null >"$out/$name.log" 2>&1 || status=$?
    took=$((SECONDS - begin))
    if [ "$status" -eq 0 ]; then
        echo "PASS $name (${took} s)"
        passed=$((passed + 1))
    else
        [ "$status" -eq 124 ] && why="stopped after $limit s" || why="exit status $status"
        echo "FAIL $name: $why (${took} s); the last lines of its output:"
        tail -n 25 "$out/$name.log" | sed 's/^/    | /'
        failed=$((failed + 1))
        failures+=("$name")
    fi
done
echo "bench smoke took $((SECONDS - started)) s${failures[*]:+; failing: ${failures[*]}}"
echo "bench_smoke: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
