#!/usr/bin/env bash
# Templates: bench_template (Google Benchmark: rendering a page with a table
# of 1,000 rows; the figure is time per row, median of KX_BENCH_RUNS
# repetitions), then a check that serving a page parses no template: after
# one warm-up request per page, KX_BENCH_REQUESTS (default 50) more requests
# per page must open no template file (strace on the running kxcontainer; a
# template is only read to be parsed, and the factory's cache only looks at
# its time stamp). The first and the later requests' times are shown too.
#   bench/bench_templates.sh
source "$(dirname "$0")/lib.sh"
bench_setup kxcontainer orvowizard bench_template
missing=()
command -v strace >/dev/null || missing+=(strace)
command -v jq >/dev/null || missing+=(jq)
apt_install "${missing[@]}"
REQUESTS="${KX_BENCH_REQUESTS:-$(sized 50 5)}"
# Quick mode: Google Benchmark's least time per repetition cut to 0.1 s.
MIN_TIME=()
bench_quick && MIN_TIME=(--benchmark_min_time=0.1)

log "bench_template"
"$KX_BIN/bench_template" --benchmark_repetitions="$KX_RUNS" "${MIN_TIME[@]}" --benchmark_format=json \
    --benchmark_out="$KX_TMP/bench.json" --benchmark_out_format=json >/dev/null
PER_ROW_NS="$(jq -r '[.benchmarks[] | select(.run_type == "iteration") | .per_row]
    | sort | .[(length / 2 | floor)] * 1e9 | . * 10 | round / 10' "$KX_TMP/bench.json")"
PAGE_US="$(jq -r '[.benchmarks[] | select(.run_type == "iteration") | .real_time]
    | sort | .[(length / 2 | floor)] | . * 10 | round / 10' "$KX_TMP/bench.json")"

mkdir -p "$KX_TMP/home/projects/Quotes"
cp -r "$KX_ROOT/home/docs" "$KX_ROOT/home/examples" "$KX_TMP/home/" 2>/dev/null || true
printf 'projectName=Quotes\ntype=server\n' >"$KX_TMP/home/projects/Quotes/startup.properties"
kx_start "$KX_TMP/home"
log "kxcontainer at $KX_URL"
JAR="$KX_TMP/cookies"
PAGES=("/orvo/" "/orvo/server" "/orvo/client" "/orvo/viewer" "/orvo/browse"
       "/orvo/status?dir=$KX_TMP/home/projects/Quotes")

# The first request of each page (parses its templates), timed.
: >"$KX_TMP/first.t"
for page in "${PAGES[@]}"; do
    request_time -c "$JAR" -b "$JAR" "$KX_URL$page" >>"$KX_TMP/first.t"
done

# Then the later requests, with the system calls of the server traced.
TRACE="$KX_TMP/trace"
STRACED=0
strace -f -qq -e trace=openat,open,stat,newfstatat,statx -o "$TRACE" -p "$KX_PID" 2>"$KX_TMP/strace.err" &
STRACE_PID=$!
KX_PIDS+=("$STRACE_PID")
sleep 2
kill -0 "$STRACE_PID" 2>/dev/null && STRACED=1
: >"$KX_TMP/later.t"
for _ in $(seq "$REQUESTS"); do
    for page in "${PAGES[@]}"; do
        request_time -b "$JAR" "$KX_URL$page" >>"$KX_TMP/later.t"
    done
done
if [ "$STRACED" -eq 1 ]; then
    kill -INT "$STRACE_PID" 2>/dev/null || true
    wait "$STRACE_PID" 2>/dev/null || true
    OPENS="$(grep -E 'open(at)?\(' "$TRACE" | grep -c '\.tl"' || true)"
    STATS="$(grep -E 'stat' "$TRACE" | grep -c '\.tl"' || true)"
    CHECK="template files opened during $(( REQUESTS * ${#PAGES[@]} )) requests: $OPENS (time stamps looked at: $STATS)"
    VERDICT="$([ "$OPENS" -eq 0 ] && echo met || echo MISSED)"
else
    CHECK="strace could not attach ($(head -1 "$KX_TMP/strace.err")); timing only"
    VERDICT="not checked"
fi
FIRST_MS="$(awk '{ s += $1 } END { printf "%.2f", s / NR * 1000 }' "$KX_TMP/first.t")"
LATER_MS="$(awk '{ print $1 * 1000 }' "$KX_TMP/later.t" | median)"

echo
echo "== Templates =="
printf 'bench_template: %s ns per row (page of 1,000 rows: %s us; median of %s repetitions)\n' \
    "$PER_ROW_NS" "$PAGE_US" "$KX_RUNS"
printf 'per-request parsing: %s; no parsing: %s\n' "$CHECK" "$VERDICT"
printf 'pages %s: first request %s ms on average, later requests median %s ms\n' \
    "${#PAGES[@]}" "$FIRST_MS" "$LATER_MS"
