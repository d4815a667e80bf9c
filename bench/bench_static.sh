#!/usr/bin/env bash
# A static style sheet (webapp/static/style.css) served by kxcontainer
# against nginx serving the same file in the same run, three ways:
#   plain  GET without Accept-Encoding (the whole file)
#   gzip   GET with Accept-Encoding: gzip (nginx: gzip on; gzip_types text/css)
#   304    GET with If-None-Match: <the file's ETag> (each server's own)
#   target: requests/s >= 0.8 x nginx's for each
#           (wrk -t2 -c32 -d10s --latency, median of KX_BENCH_RUNS runs, default 3)
#   bench/bench_static.sh            (KX_BENCH_DURATION changes 10 s)
source "$(dirname "$0")/lib.sh"
bench_setup kxcontainer
DURATION="${KX_BENCH_DURATION:-$(sized 10 1)}"
CONNS=32

mkdir -p "$KX_TMP/home" "$KX_TMP/www"
cp "$KX_ROOT/webapp/static/style.css" "$KX_TMP/www/style.css"
chmod 644 "$KX_TMP/www/style.css"
kx_start "$KX_TMP/home"
log "kxcontainer at $KX_URL"
NGINX=0
if have_nginx; then
    nginx_start "$KX_TMP/www" "gzip on; gzip_types text/css; gzip_vary on; etag on;"
    NGINX=1
    log "nginx at $NGINX_URL"
fi

KXFILE="$KX_URL/orvo/static/style.css"
NGFILE="${NGINX_URL:-}/style.css"
SIZE="$(wc -c <"$KX_ROOT/webapp/static/style.css")"

# etag URL: the ETag of the plain file.
etag() { curl -s -o /dev/null -D - --max-time 10 "$1" | awk -F': ' 'tolower($1) == "etag" { sub(/\r$/, "", $2); print $2 }'; }
KXTAG="$(etag "$KXFILE")"
NGTAG=""
[ "$NGINX" -eq 0 ] || NGTAG="$(etag "$NGFILE")"
if [ -z "$KXTAG" ] || { [ "$NGINX" -eq 1 ] && [ -z "$NGTAG" ]; }; then
    log "no ETag: kxcontainer '$KXTAG', nginx '$NGTAG'"
    exit 1
fi

# check NAME URL EXPECTED-STATUS [curl options]: one request before the
# load, so a run never measures an answer of the wrong kind.
check() {
    local name="$1" url="$2" want="$3"
    shift 3
    local got
    got="$(curl -s -o "$KX_TMP/check.body" -w '%{http_code} %{size_download}' --max-time 10 "$@" "$url")"
    log "$name: $got (bytes)"
    [ "${got%% *}" = "$want" ] || { log "$name: status ${got%% *}, expected $want"; exit 1; }
}
check "kxcontainer plain" "$KXFILE" 200
check "kxcontainer gzip" "$KXFILE" 200 -H 'Accept-Encoding: gzip'
check "kxcontainer 304" "$KXFILE" 304 -H "If-None-Match: $KXTAG"
if [ "$NGINX" -eq 1 ]; then
    check "nginx plain" "$NGFILE" 200
    check "nginx gzip" "$NGFILE" 200 -H 'Accept-Encoding: gzip'
    check "nginx 304" "$NGFILE" 304 -H "If-None-Match: $NGTAG"
fi

declare -A RPS P99
for kind in plain gzip 304; do
    : >"$KX_TMP/kx.$kind"
    : >"$KX_TMP/ng.$kind"
    for run in $(seq "$KX_RUNS"); do
        case "$kind" in
            plain) kxh=(); ngh=() ;;
            gzip) kxh=(-H 'Accept-Encoding: gzip'); ngh=(-H 'Accept-Encoding: gzip') ;;
            304) kxh=(-H "If-None-Match: $KXTAG"); ngh=(-H "If-None-Match: $NGTAG") ;;
        esac
        read -r r p e b < <(wrk_figures "$DURATION" "$CONNS" "$KXFILE" "${kxh[@]}")
        echo "$r $p" >>"$KX_TMP/kx.$kind"
        log "$kind run $run kxcontainer: $r req/s, p99 $p ms, socket errors $e, non-2xx $b"
        [ "$NGINX" -eq 1 ] || continue
        read -r r p e b < <(wrk_figures "$DURATION" "$CONNS" "$NGFILE" "${ngh[@]}")
        echo "$r $p" >>"$KX_TMP/ng.$kind"
        log "$kind run $run nginx:       $r req/s, p99 $p ms, socket errors $e, non-2xx $b"
    done
    for server in kx ng; do
        RPS[$server.$kind]="$(cut -d' ' -f1 "$KX_TMP/$server.$kind" | median)"
        P99[$server.$kind]="$(cut -d' ' -f2 "$KX_TMP/$server.$kind" | median)"
    done
done

echo
echo "== Static style sheet ($SIZE bytes; wrk -t2 -c$CONNS -d${DURATION}s --latency, median of $KX_RUNS runs; load $(cut -d' ' -f1-3 /proc/loadavg)) =="
for kind in plain gzip 304; do
    if [ "$NGINX" -eq 0 ]; then
        printf '%-6s kxcontainer %s req/s p99 %s ms | nginx not installed: no comparison\n' \
            "$kind" "${RPS[kx.$kind]}" "${P99[kx.$kind]}"
        continue
    fi
    rr="$(ratio "${RPS[kx.$kind]}" "${RPS[ng.$kind]}")"
    printf '%-6s kxcontainer %s req/s p99 %s ms | nginx %s req/s p99 %s ms | req/s ratio %s (>= 0.8: %s)\n' \
        "$kind" "${RPS[kx.$kind]}" "${P99[kx.$kind]}" "${RPS[ng.$kind]}" "${P99[ng.$kind]}" \
        "$rr" "$(verdict "$rr" '>=' 0.8)"
done
