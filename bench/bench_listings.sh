#!/usr/bin/env bash
# Listings: the status page of a project holding 10,000 generated files and
# the file browser over a directory of 10,000 entries (default patterns),
# each against nginx's autoindex page of the same directory.
#   target: median latency <= 1.5 x nginx's
# Each run sends KX_BENCH_REQUESTS (default 10) sequential requests to each
# server, alternating; the figure is the median of the runs' medians.
#   bench/bench_listings.sh
source "$(dirname "$0")/lib.sh"
bench_setup kxcontainer orvowizard
REQUESTS="${KX_BENCH_REQUESTS:-$(sized 10 2)}"
# Quick mode: a hundredth of the trees (100 files, 100 entries).
SCALE="$(sized 1 100)"

TREES="$KX_TMP/trees"
PROJECT="$TREES/project"
BROWSE="$TREES/browse"
mkdir -p "$PROJECT" "$BROWSE" "$KX_TMP/home/projects"
cp -r "$KX_ROOT/home/docs" "$KX_ROOT/home/examples" "$KX_TMP/home/" 2>/dev/null || true

# A server project as svcgen leaves it: data classes, skeletons, proxies,
# samples, web.xml; 10,000 files in all.
log "generating the trees"
(
    cd "$PROJECT"
    printf 'projectName=Quotes\ntype=server\nfilename=/tmp/Quotes.wsdl\nhtml=false\nmake=false\n' >startup.properties
    printf '<?xml version="1.0"?>\n<project name="Quotes"/>\n' >QuotesProject.xml
    : >errors.xml
    echo '<web-app/>' >web.xml
    for i in $(seq -w 1 $((3600 / SCALE))); do
        echo "// Type$i" >"Type$i.cpp"; echo "// Type$i" >"Type$i.h"
    done
    for i in $(seq -w 1 $((400 / SCALE))); do
        for s in Skeleton ServletBase ClientProxy; do
            echo "// Svc$i$s" >"Svc$i$s.cpp"; echo "// Svc$i$s" >"Svc$i$s.h"
        done
    done
    for i in $(seq -w 1 $((396 / SCALE))); do echo "// Svc${i}Impl" >"Svc${i}Impl.cpp"; done
)
# A folder to pick an input file from: 9,000 other files, 900 matching the
# default patterns (*.wsdl, *.xsd, *.xml), 100 folders.
(
    cd "$BROWSE"
    for i in $(seq -w 1 $((4500 / SCALE))); do : >"Type$i.cpp"; : >"Type$i.h"; done
    for i in $(seq -w 1 $((300 / SCALE))); do : >"Schema$i.xsd"; : >"Service$i.wsdl"; : >"Data$i.xml"; done
    for i in $(seq -w 1 $((100 / SCALE))); do mkdir "Folder$i"; done
)
log "project: $(find "$PROJECT" -type f | wc -l) files, browse: $(find "$BROWSE" -mindepth 1 -maxdepth 1 | wc -l) entries"

kx_start "$KX_TMP/home"
log "kxcontainer at $KX_URL"
NGINX=0
if have_nginx; then
    nginx_start "$TREES" "autoindex on;"
    NGINX=1
    log "nginx at $NGINX_URL"
fi

JAR="$KX_TMP/cookies"
curl -s -o /dev/null --max-time 10 -c "$JAR" "$KX_URL/orvo/viewer"

declare -A KX NG SIZE
for what in status browse; do
    if [ "$what" = status ]; then
        kxurl="$KX_URL/orvo/status?dir=$PROJECT"; ngurl="${NGINX_URL:-}/project/"
    else
        kxurl="$KX_URL/orvo/browse?dir=$BROWSE"; ngurl="${NGINX_URL:-}/browse/"
    fi
    # one warm-up each; the pages' sizes show both list everything
    curl -s --max-time 60 -b "$JAR" -o "$KX_TMP/$what.kx.html" "$kxurl"
    SIZE[$what]="kxcontainer $(wc -c <"$KX_TMP/$what.kx.html") bytes, $(grep -o '<tr' "$KX_TMP/$what.kx.html" | wc -l) table rows"
    if [ "$NGINX" -eq 1 ]; then
        curl -s --max-time 60 -o "$KX_TMP/$what.ng.html" "$ngurl"
        SIZE[$what]+="; nginx $(wc -c <"$KX_TMP/$what.ng.html") bytes, $(grep -c '<a href' "$KX_TMP/$what.ng.html") links"
    fi
    : >"$KX_TMP/$what.kx.runs"; : >"$KX_TMP/$what.ng.runs"
    for run in $(seq "$KX_RUNS"); do
        : >"$KX_TMP/kx.t"; : >"$KX_TMP/ng.t"
        for _ in $(seq "$REQUESTS"); do
            request_time -b "$JAR" "$kxurl" >>"$KX_TMP/kx.t"
            [ "$NGINX" -eq 0 ] || request_time "$ngurl" >>"$KX_TMP/ng.t"
        done
        k="$(median <"$KX_TMP/kx.t")"; n="$(median <"$KX_TMP/ng.t")"
        echo "$k" >>"$KX_TMP/$what.kx.runs"; echo "$n" >>"$KX_TMP/$what.ng.runs"
        log "$what run $run: kxcontainer median $k s, nginx median $n s"
    done
    KX[$what]="$(median <"$KX_TMP/$what.kx.runs")"
    NG[$what]="$(median <"$KX_TMP/$what.ng.runs")"
done

ms() { awk -v v="$1" 'BEGIN { printf "%.2f", v * 1000 }'; }
echo
echo "== Listings (median latency, median of $KX_RUNS runs of $REQUESTS requests) =="
for what in status browse; do
    if [ "$NGINX" -eq 0 ]; then
        printf '%-6s kxcontainer %s ms | nginx not installed: no comparison\n' "$what" "$(ms "${KX[$what]}")"
    else
        r="$(ratio "${KX[$what]}" "${NG[$what]}")"
        printf '%-6s kxcontainer %s ms | nginx autoindex %s ms | ratio %s (<= 1.5: %s)\n' "$what" \
            "$(ms "${KX[$what]}")" "$(ms "${NG[$what]}")" "$r" "$(verdict "$r" '<=' 1.5)"
    fi
    echo "       (${SIZE[$what]})"
done
