#!/usr/bin/env bash
# Pages under load: the start page /orvo/ and the server wizard page
# /orvo/server (with a session cookie) served by kxcontainer, against nginx
# serving the same rendered HTML as static files.
#   target: requests/s >= 0.8 x nginx's, p99 <= 2 x nginx's
#           (wrk -t2 -c32 -d10s --latency, median of KX_BENCH_RUNS runs, default 3)
# Then -c256 for 30 s against each page: no socket errors, no timeouts, every
# answer logged with 200.
#   bench/bench_pages.sh            (KX_BENCH_DURATION / KX_BENCH_LONG change 10 s / 30 s)
source "$(dirname "$0")/lib.sh"
bench_setup kxcontainer orvowizard
DURATION="${KX_BENCH_DURATION:-$(sized 10 1)}"
LONG="${KX_BENCH_LONG:-$(sized 30 1)}"

mkdir -p "$KX_TMP/home/projects" "$KX_TMP/html"
cp -r "$KX_ROOT/home/docs" "$KX_ROOT/home/examples" "$KX_TMP/home/" 2>/dev/null || true
kx_start "$KX_TMP/home"
log "kxcontainer at $KX_URL"

# A session for the wizard page, then the two pages as the browser gets them.
curl -s -o /dev/null --max-time 10 -c "$KX_TMP/cookies" "$KX_URL/orvo/server"
SESSION="$(awk '$6 == "JSESSIONID" { print $7 }' "$KX_TMP/cookies")"
[ -n "$SESSION" ] || { log "no session cookie from /orvo/server"; exit 1; }
COOKIE="Cookie: JSESSIONID=$SESSION"
curl -s --max-time 10 -o "$KX_TMP/html/index.html" "$KX_URL/orvo/"
curl -s --max-time 10 -H "$COOKIE" -o "$KX_TMP/html/server.html" "$KX_URL/orvo/server"
log "pages: start $(wc -c <"$KX_TMP/html/index.html") bytes, server $(wc -c <"$KX_TMP/html/server.html") bytes"
NGINX=0
if have_nginx; then
    nginx_start "$KX_TMP/html"
    NGINX=1
    log "nginx at $NGINX_URL"
fi

# wrk_run URL [header]: "requests/s p99-ms socket-errors non2xx"
wrk_run() {
    local url="$1" header="${2:-}"
    local args=()
    [ -n "$header" ] && args+=(-H "$header")
    wrk_figures "$DUR" "$CONNS" "$url" "${args[@]}"
}

CONNS=32
DUR="$DURATION"
declare -A RPS P99
for page in start server; do
    if [ "$page" = start ]; then kxpath=/orvo/; file=/index.html; hdr=""
    else kxpath=/orvo/server; file=/server.html; hdr="$COOKIE"; fi
    : >"$KX_TMP/kx.$page" ; : >"$KX_TMP/ng.$page"
    for run in $(seq "$KX_RUNS"); do
        read -r r p e b < <(wrk_run "$KX_URL$kxpath" "$hdr")
        echo "$r $p" >>"$KX_TMP/kx.$page"
        log "$page run $run kxcontainer: $r req/s, p99 $p ms, socket errors $e, non-2xx $b"
        [ "$NGINX" -eq 1 ] || continue
        read -r r p e b < <(wrk_run "$NGINX_URL$file")
        echo "$r $p" >>"$KX_TMP/ng.$page"
        log "$page run $run nginx:       $r req/s, p99 $p ms, socket errors $e, non-2xx $b"
    done
    RPS[kx.$page]="$(cut -d' ' -f1 "$KX_TMP/kx.$page" | median)"
    P99[kx.$page]="$(cut -d' ' -f2 "$KX_TMP/kx.$page" | median)"
    RPS[ng.$page]="$(cut -d' ' -f1 "$KX_TMP/ng.$page" | median)"
    P99[ng.$page]="$(cut -d' ' -f2 "$KX_TMP/ng.$page" | median)"
done

# Many connections: every one must be served.
CONNS=256
DUR="$LONG"
declare -A LOADLINE
for page in start server; do
    if [ "$page" = start ]; then kxpath=/orvo/; hdr=""; else kxpath=/orvo/server; hdr="$COOKIE"; fi
    startclock="$(date +%H:%M:%S)"
    read -r r p e b < <(wrk_run "$KX_URL$kxpath" "$hdr")
    sleep 1
    sent="$(tail -n 12 "$KX_TMP/wrk.txt" | awk '/requests in/ { print $1 }' | tail -1)"
    access_lines | awk -v t="$startclock" -v path="$kxpath" \
        'substr($4, 14, 8) >= t && $7 == path' >"$KX_TMP/access.$page"
    logged="$(wc -l <"$KX_TMP/access.$page")"
    notok="$(awk '$9 != 200' "$KX_TMP/access.$page" | wc -l)"
    # The log keeps about 20 MB (access.log and three older files), which at
    # these rates is the last part of the run. Its lines (Combined Log
    # Format) name the client's address, not its port, so they no longer
    # tell wrk's connections apart.
    LOADLINE[$page]="$r req/s, p99 $p ms, socket errors+timeouts $e, non-2xx $b; wrk counted $sent answers; access log: $logged lines ($notok not 200)"
    log "$page -c256 ${DUR}s: ${LOADLINE[$page]}"
done

echo
echo "== Pages under load (wrk -t2 -c32 -d${DURATION}s --latency, median of $KX_RUNS runs) =="
for page in start server; do
    if [ "$NGINX" -eq 0 ]; then
        printf '%-7s kxcontainer %s req/s p99 %s ms | nginx not installed: no comparison\n' \
            "$page" "${RPS[kx.$page]}" "${P99[kx.$page]}"
        continue
    fi
    rr="$(ratio "${RPS[kx.$page]}" "${RPS[ng.$page]}")"
    pr="$(ratio "${P99[kx.$page]}" "${P99[ng.$page]}")"
    printf '%-7s kxcontainer %s req/s p99 %s ms | nginx %s req/s p99 %s ms | req/s ratio %s (>= 0.8: %s), p99 ratio %s (<= 2: %s)\n' \
        "$page" "${RPS[kx.$page]}" "${P99[kx.$page]}" "${RPS[ng.$page]}" "${P99[ng.$page]}" \
        "$rr" "$(verdict "$rr" '>=' 0.8)" "$pr" "$(verdict "$pr" '<=' 2)"
done
echo "== -c256 for ${LONG}s against kxcontainer =="
for page in start server; do echo "$page: ${LOADLINE[$page]}"; done
