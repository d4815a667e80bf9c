#!/usr/bin/env bash
# Projects: the directory viewer (/orvo/viewer?dir=...) over 1,000 project
# directories, each with <name>Project.xml, errors.xml and
# startup.properties, against `find DIR -maxdepth 2 -type f -printf '%s\n'`
# over the same tree.
#   target: time <= 2 x find's
# Each run times KX_BENCH_REQUESTS (default 10) page requests and as many
# finds, alternating; the figure is the median of the runs' medians.
#   bench/bench_projects.sh
source "$(dirname "$0")/lib.sh"
bench_setup kxcontainer orvowizard
REQUESTS="${KX_BENCH_REQUESTS:-$(sized 10 2)}"
COUNT="$(sized 1000 10)"

TREE="$KX_TMP/projects"
mkdir -p "$TREE" "$KX_TMP/home/projects"
cp -r "$KX_ROOT/home/docs" "$KX_ROOT/home/examples" "$KX_TMP/home/" 2>/dev/null || true
log "generating $COUNT projects"
for n in $(seq "$COUNT"); do
    i="$(printf '%04d' "$n")"
    d="$TREE/Project$i"
    mkdir "$d"
    printf '<?xml version="1.0"?>\n<project name="Project%s"/>\n' "$i" >"$d/Project${i}Project.xml"
    if [ $((10#$i % 10)) -eq 0 ]; then
        printf '<?xml version="1.0"?>\n<errors>\n<error file="Type.xsd" line="3">undefined type</error>\n</errors>\n' >"$d/errors.xml"
    else
        : >"$d/errors.xml"
    fi
    printf 'projectName=Project%s\nprojectDir=%s\ntype=server\nfilename=/tmp/Project%s.wsdl\n' \
        "$i" "$TREE" "$i" >"$d/startup.properties"
done

kx_start "$KX_TMP/home"
log "kxcontainer at $KX_URL"
JAR="$KX_TMP/cookies"
URL="$KX_URL/orvo/viewer?dir=$TREE"
curl -s --max-time 60 -c "$JAR" -b "$JAR" -o "$KX_TMP/viewer.html" "$URL"
ROWS="$(grep -o 'Project[0-9]\{4\}' "$KX_TMP/viewer.html" | sort -u | wc -l)"
FILES="$(find "$TREE" -maxdepth 2 -type f -printf '%s\n' | wc -l)"

find_time() {
    local t0 t1
    t0="$(date +%s%N)"
    find "$TREE" -maxdepth 2 -type f -printf '%s\n' >/dev/null
    t1="$(date +%s%N)"
    awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f\n", (b - a) / 1e9 }'
}

: >"$KX_TMP/kx.runs"; : >"$KX_TMP/find.runs"
for run in $(seq "$KX_RUNS"); do
    : >"$KX_TMP/kx.t"; : >"$KX_TMP/find.t"
    for _ in $(seq "$REQUESTS"); do
        request_time -b "$JAR" "$URL" >>"$KX_TMP/kx.t"
        find_time >>"$KX_TMP/find.t"
    done
    k="$(median <"$KX_TMP/kx.t")"; f="$(median <"$KX_TMP/find.t")"
    echo "$k" >>"$KX_TMP/kx.runs"; echo "$f" >>"$KX_TMP/find.runs"
    log "run $run: viewer median $k s, find median $f s"
done
K="$(median <"$KX_TMP/kx.runs")"
F="$(median <"$KX_TMP/find.runs")"
R="$(ratio "$K" "$F")"

echo
echo "== Projects (median of $KX_RUNS runs of $REQUESTS) =="
printf 'viewer %.2f ms (%s projects shown, %s bytes) | find %.2f ms (%s files) | ratio %s (<= 2: %s)\n' \
    "$(awk -v v="$K" 'BEGIN{print v*1000}')" "$ROWS" "$(wc -c <"$KX_TMP/viewer.html")" \
    "$(awk -v v="$F" 'BEGIN{print v*1000}')" "$FILES" "$R" "$(verdict "$R" '<=' 2)"
