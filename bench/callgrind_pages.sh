#!/usr/bin/env bash
# Instructions and allocator calls per request of the start page /orvo/, the
# server wizard page /orvo/server (with a session cookie) and the style sheet
# static/style.css, plain (200) and revalidated by its ETag (304), counted by
# callgrind in kxcontainer: after a few warm-up requests, instrumentation is
# switched on for N requests of one answer (curl, one after the other on one
# connection), dumped, and the same for the next answer. The figures are per request: all
# instructions of the process (Ir), those inside the servlet's
# processRequest, and the calls of malloc, free, realloc and calloc.
# Not a bench_*.sh script: it needs valgrind and takes about a minute, so the
# smoke test leaves it out.
#   bench/callgrind_pages.sh            (KX_BENCH_BUILD: build/, KX_BENCH_REQUESTS: 200)
# KX_CALLGRIND_KEEP=DIR copies each dump there (cg.server, cg.start,
# cg.static, cg.static304) for callgrind_annotate.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$(realpath -m "${KX_BENCH_BUILD:-$ROOT/build}")"
N="${KX_BENCH_REQUESTS:-200}"
for tool in valgrind callgrind_control callgrind_annotate curl; do
    command -v "$tool" >/dev/null || { echo "missing: $tool (apt-get install valgrind curl)" >&2; exit 1; }
done
TMP="$(mktemp -d)"
PID=""
cleanup() {
    [ -n "$PID" ] && kill -TERM "$PID" 2>/dev/null && wait "$PID" 2>/dev/null || true
    rm -rf "$TMP"
}
trap cleanup EXIT INT TERM
mkdir -p "$TMP/home/projects" "$TMP/logs" "$TMP/out"
cp -r "$ROOT/home/docs" "$ROOT/home/examples" "$TMP/home/" 2>/dev/null || true
valgrind --tool=callgrind --instr-atstart=no --callgrind-out-file="$TMP/out/cg.%p" \
    "$BUILD/bin/kxcontainer" --port 0 --bind 127.0.0.1 --no-token --threads 2 \
    --webapp "$ROOT/webapp" --home "$TMP/home" --log-dir "$TMP/logs" >"$TMP/kx.out" 2>"$TMP/kx.err" &
PID=$!
for _ in $(seq 600); do grep -q serving "$TMP/kx.out" 2>/dev/null && break; sleep 0.1; done
URL="$(head -n1 "$TMP/kx.out" | grep -o -E 'http://[^/ ]+/[^ ]*$' | grep -o -E '^http://[^/]+')"
[ -n "$URL" ] || { echo "kxcontainer did not start" >&2; cat "$TMP/kx.err" >&2; exit 1; }
curl -s -o /dev/null --max-time 60 -c "$TMP/cookies" "$URL/orvo/server"
COOKIE="Cookie: JSESSIONID=$(awk '$6 == "JSESSIONID" { print $7 }' "$TMP/cookies")"
CSS="$URL/orvo/static/style.css"
TAG="$(curl -s -o /dev/null -D - --max-time 60 "$CSS" | awk -F': ' 'tolower($1) == "etag" { sub(/\r$/, "", $2); print $2 }')"
[ -n "$TAG" ] || { echo "the style sheet has no ETag" >&2; exit 1; }
for _ in 1 2 3 4 5; do
    curl -s --max-time 60 -H "$COOKIE" -o /dev/null "$URL/orvo/server" -o /dev/null "$URL/orvo/" \
        -o /dev/null "$CSS"
done
for page in server start static static304; do
    headers=(-H "$COOKIE")
    case "$page" in
        server) path=/orvo/server ;;
        start) path=/orvo/ ;;
        static) path=/orvo/static/style.css; headers=() ;;
        static304) path=/orvo/static/style.css; headers=(-H "If-None-Match: $TAG") ;;
    esac
    for _ in $(seq "$N"); do printf 'url = "%s"\noutput = /dev/null\n' "$URL$path"; done >"$TMP/urls"
    callgrind_control -i on "$PID" >/dev/null 2>&1
    curl -s --max-time 600 -K "$TMP/urls" "${headers[@]}"
    callgrind_control -i off "$PID" >/dev/null 2>&1
    callgrind_control -d "$page" "$PID" >/dev/null 2>&1
done
for page in server start static static304; do
    file="$(grep -l "^desc: Trigger: dump $page" "$TMP"/out/cg.*.* | head -1)"
    /usr/bin/python3 "$ROOT/bench/callgrind_summary.py" "$file" "$N" "$page"
    [ -z "${KX_CALLGRIND_KEEP:-}" ] || cp "$file" "$KX_CALLGRIND_KEEP/cg.$page"
done
