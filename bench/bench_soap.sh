#!/usr/bin/env bash
# A generated SOAP service under load: svcgen generates the server project of
# tests/soap/calculator_wrapped (its impl/CalcPortImpl.cpp in place of the
# sample one), make builds it with the makefile's flags (-O2), and
# kxcontainer serves it.
# (a) wrk POSTs one Add envelope (soap/add.xml through soap/post.lua,
#     Content-Type text/xml, SOAPAction of Add) against the same container
#     answering a static file holding the very bytes of the SOAP reply
#     (<webapp>/static/reply.xml at /orvo/static/reply.xml), wrk GET with the
#     same settings.
#     target: requests/s >= 0.5 x the static file's, p99 <= 2 x
#             (wrk -t2 -c16 -d10s --latency, median of KX_BENCH_RUNS runs, default 3)
# (b) a zeep client's wall time for 1,000 Add calls (soap/zeep_calls.py)
#     against the generated service and against tests/soap/spyne_server.py
#     serving the same WSDL; median of KX_BENCH_RUNS runs each, and the ratio.
#   bench/bench_soap.sh     (KX_BENCH_DURATION / KX_BENCH_CALLS change 10 s / 1,000)
source "$(dirname "$0")/lib.sh"
PY=/usr/bin/python3
HERE="$KX_ROOT/bench/soap"
CASE="$KX_ROOT/tests/soap/calculator_wrapped"
WSDL="$CASE/calculator.wsdl"
DURATION="${KX_BENCH_DURATION:-$(sized 10 1)}"
CALLS="${KX_BENCH_CALLS:-$(sized 1000 20)}"
export KX_BENCH_JOBS="${KX_BENCH_JOBS:-1}"

# What the bench alone needs: wrk and curl; zeep and spyne for (b).
missing=()
command -v wrk >/dev/null || missing+=(wrk)
command -v curl >/dev/null || missing+=(curl)
"$PY" -c 'import zeep' 2>/dev/null || missing+=(python3-zeep)
"$PY" -c 'import spyne' 2>/dev/null || missing+=(python3-spyne)
apt_install "${missing[@]}"
bench_build kxcontainer svcgen
bench_init

# Generate and build the service.
PROJECT="$KX_TMP/project"
APP="$KX_TMP/app"
mkdir -p "$PROJECT" "$APP/WEB-INF" "$APP/static" "$KX_TMP/home" "$KX_TMP/kxlogs"

# build_service FOLDER NAME DIR: the server project of a SOAP peer folder, with
# its impl/, generated and built in DIR.
build_service() {
    local folder="$1" name="$2" dir="$3" wsdl
    wsdl="$(ls "$folder"/*.wsdl)"
    mkdir -p "$dir"
    printf 'type=server\nprojectName=%s\nserver=true\nsample=true\nmake=true\n' "$name" \
        >"$dir/startup.properties"
    log "svcgen on $wsdl"
    if ! (cd "$dir" && "$KX_BIN/svcgen" -properties "$dir/startup.properties" \
            -compiler redhat-gcc "$wsdl") >"$dir/svcgen.out" 2>&1; then
        log "svcgen failed:"; sed -n '1,20p' "$dir/svcgen.out" >&2; return 1
    fi
    cp "$folder"/impl/*Impl.cpp "$dir/"
    log "make -j$KX_BENCH_JOBS (the makefile's flags)"
    if ! (cd "$dir" && make -j"$KX_BENCH_JOBS") >"$dir/make.out" 2>&1; then
        log "make failed:"; grep -m15 -A3 error "$dir/make.out" >&2 || tail -20 "$dir/make.out" >&2
        return 1
    fi
}
build_service "$CASE" soap_calc "$PROJECT" || exit 1
# Beside Add, an operation with header blocks in and out: Greet of
# tests/soap/headers, its library in the same folder, its servlets in the
# same web.xml.
build_service "$KX_ROOT/tests/soap/headers" soap_session "$KX_TMP/session" || exit 1
cp "$KX_TMP/session/libsoap_session.so" "$PROJECT/"
{
    sed '/<\/web-app>/d' "$PROJECT/web.xml"
    sed -n '/<servlet>/,/<\/servlet-mapping>/p' "$KX_TMP/session/web.xml"
    echo '</web-app>'
} >"$APP/WEB-INF/web.xml"

KX_WEBAPP="$APP" kx_start "$KX_TMP/home" --lib-dir "$PROJECT" || exit 1
ADDRESS="$KX_URL/orvo"
# The path of the port's address, where the container serves it (read as
# tests/soap/run_soap.sh reads it).
ADDRESS_PATH="$(sed -n -E 's|.*address location="[a-z]+://[^/"]*([^"]*)".*|\1|p' "$WSDL" | head -n1)"
[ -n "$ADDRESS_PATH" ] || { log "no SOAP address in $WSDL"; exit 1; }
SOAP_URL="$ADDRESS$ADDRESS_PATH"
STATIC_URL="$ADDRESS/static/reply.xml"
GREET_URL="$ADDRESS/session"
log "services at $SOAP_URL and $GREET_URL"

# The reply to the envelope wrk sends, kept as the static file.
export KX_SOAP_BODY="$HERE/add.xml"
status="$(curl -s --max-time 10 -o "$APP/static/reply.xml" -w '%{http_code}' \
    -H 'Content-Type: text/xml; charset=utf-8' -H 'SOAPAction: "urn:kxtest:calc/Add"' \
    --data-binary @"$KX_SOAP_BODY" "$SOAP_URL")"
if [ "$status" != 200 ] || ! grep -q '>42<' "$APP/static/reply.xml"; then
    log "Add(20, 22) answered HTTP $status:"; cat "$APP/static/reply.xml" >&2; exit 1
fi
status="$(curl -s --max-time 10 -o "$KX_TMP/greet.reply" -w '%{http_code}' \
    -H 'Content-Type: text/xml; charset=utf-8' -H 'SOAPAction: "urn:kxtest:session:Greet"' \
    --data-binary @"$HERE/greet.xml" "$GREET_URL")"
if [ "$status" != 200 ] || ! grep -q 'Session' "$KX_TMP/greet.reply"; then
    log "Greet answered HTTP $status:"; cat "$KX_TMP/greet.reply" >&2; exit 1
fi
REPLY_BYTES="$(wc -c <"$APP/static/reply.xml")"
STATIC_BYTES="$(curl -s --max-time 10 -o /dev/null -w '%{size_download}' "$STATIC_URL")"
[ "$STATIC_BYTES" = "$REPLY_BYTES" ] || {
    log "the static file answered $STATIC_BYTES bytes, not $REPLY_BYTES"; exit 1; }
log "reply $REPLY_BYTES bytes; static copy at $STATIC_URL"

# wrk_run URL [wrk options]: "requests/s p99-ms socket-errors non2xx"
wrk_run() {
    local url="$1"
    shift
    wrk_figures "$DURATION" 16 "$url" "$@"
}

# (a) SOAP against the static file, alternating. An answer other than 2xx
# is a fault of the service, not a figure.
FAILED=0
: >"$KX_TMP/soap.runs"; : >"$KX_TMP/static.runs"; : >"$KX_TMP/greet.runs"
for run in $(seq "$KX_RUNS"); do
    read -r r p e b < <(wrk_run "$SOAP_URL" -s "$HERE/post.lua")
    echo "$r $p" >>"$KX_TMP/soap.runs"
    log "run $run SOAP Add:    $r req/s, p99 $p ms, socket errors $e, non-2xx $b"
    [ "$b" -eq 0 ] || { log "run $run: $b SOAP answers were not 2xx"; FAILED=1; }
    read -r r p e b < <(KX_SOAP_BODY="$HERE/greet.xml" KX_SOAP_ACTION=urn:kxtest:session:Greet \
        wrk_run "$GREET_URL" -s "$HERE/post.lua")
    echo "$r $p" >>"$KX_TMP/greet.runs"
    log "run $run SOAP Greet:  $r req/s, p99 $p ms, socket errors $e, non-2xx $b"
    [ "$b" -eq 0 ] || { log "run $run: $b Greet answers were not 2xx"; FAILED=1; }
    read -r r p e b < <(wrk_run "$STATIC_URL")
    echo "$r $p" >>"$KX_TMP/static.runs"
    log "run $run static file: $r req/s, p99 $p ms, socket errors $e, non-2xx $b"
    [ "$b" -eq 0 ] || { log "run $run: $b static answers were not 2xx"; FAILED=1; }
done
SOAP_RPS="$(cut -d' ' -f1 "$KX_TMP/soap.runs" | median)"
SOAP_P99="$(cut -d' ' -f2 "$KX_TMP/soap.runs" | median)"
GREET_RPS="$(cut -d' ' -f1 "$KX_TMP/greet.runs" | median)"
GREET_P99="$(cut -d' ' -f2 "$KX_TMP/greet.runs" | median)"
STATIC_RPS="$(cut -d' ' -f1 "$KX_TMP/static.runs" | median)"
STATIC_P99="$(cut -d' ' -f2 "$KX_TMP/static.runs" | median)"

# (b) zeep against the generated service and against spyne.
"$PY" "$KX_ROOT/tests/soap/spyne_server.py" >"$KX_TMP/spyne.out" 2>"$KX_TMP/spyne.err" &
SPYNE_PID=$!
KX_PIDS+=("$SPYNE_PID")
SPYNE_URL=""
for _ in $(seq 100); do
    SPYNE_URL="$(head -n1 "$KX_TMP/spyne.out" | grep -o -m1 'http://[^ ]*' || true)"
    [ -n "$SPYNE_URL" ] && break
    kill -0 "$SPYNE_PID" 2>/dev/null || break
    sleep 0.1
done
[ -n "$SPYNE_URL" ] || { log "spyne_server.py did not start:"; cat "$KX_TMP/spyne.err" >&2; exit 1; }
log "spyne at $SPYNE_URL"
: >"$KX_TMP/zeep.kx"; : >"$KX_TMP/zeep.spyne"
for run in $(seq "$KX_RUNS"); do
    for peer in kx spyne; do
        if [ "$peer" = kx ]; then url="$SOAP_URL"; else url="$SPYNE_URL"; fi
        if s="$(timeout 600 "$PY" "$HERE/zeep_calls.py" "$WSDL" "$url" "$CALLS")"; then
            echo "$s" >>"$KX_TMP/zeep.$peer"
            log "run $run zeep, $CALLS calls, $peer: $s s"
        else
            log "run $run zeep against $peer failed"; FAILED=1
        fi
    done
done
ZEEP_KX="$(median <"$KX_TMP/zeep.kx")"
ZEEP_SPYNE="$(median <"$KX_TMP/zeep.spyne")"

rr="$(ratio "$SOAP_RPS" "$STATIC_RPS")"
pr="$(ratio "$SOAP_P99" "$STATIC_P99")"
zr="$(ratio "$ZEEP_KX" "$ZEEP_SPYNE")"
echo
echo "== SOAP Add against a static file of the reply's $REPLY_BYTES bytes, same kxcontainer (wrk -t2 -c16 -d${DURATION}s --latency, median of $KX_RUNS runs) =="
printf 'SOAP %s req/s p99 %s ms | static %s req/s p99 %s ms | req/s ratio %s (>= 0.5: %s), p99 ratio %s (<= 2: %s)\n' \
    "$SOAP_RPS" "$SOAP_P99" "$STATIC_RPS" "$STATIC_P99" \
    "$rr" "$(verdict "$rr" '>=' 0.5)" "$pr" "$(verdict "$pr" '<=' 2)"
printf 'SOAP Greet with header blocks in and out %s req/s p99 %s ms | ratio to Add %s\n' \
    "$GREET_RPS" "$GREET_P99" "$(ratio "$GREET_RPS" "$SOAP_RPS")"
echo "== zeep, $CALLS Add calls one after the other (median of $KX_RUNS runs) =="
printf 'generated service %s s | spyne %s s | ratio %s\n' "$ZEEP_KX" "$ZEEP_SPYNE" "$zr"
exit "$FAILED"
