#!/usr/bin/env bash
# The attribute bound of the XML readers: bindgen on three schemas of about
# 4 MB (bindgen/make_attributes.py): ordinary annotations (the reference),
# tags of 1,000 attributes each (the most a start tag may have), and one tag
# of 200,000 attributes, which is refused before libxml2 parses it.
#   target: each run < 2 s; the crowded tag refused (exit 1)
# Exits 1 when a run's exit status is not the expected one or (in normal
# mode only) a run takes 2 s or more. Quick mode fills 400 KB instead of 4 MB.
# Times are the best of KX_BENCH_RUNS runs (default 3). KX_BENCH_BINDGEN=PATH
# uses that bindgen instead of building build-bench/bin/bindgen.
#   bench/bench_xml_attributes.sh
source "$(dirname "$0")/lib.sh"
PY=/usr/bin/python3
HERE="$KX_ROOT/bench/bindgen"
BYTES="$(sized 4000000 400000)"

bench_bindgen
bench_init
FAILED=0
REFERENCE=""
for kind in plain many one; do
    dir="$KX_TMP/$kind"
    mkdir -p "$dir"
    printf 'type=foundation\nprojectName=Attributes\n' >"$dir/startup.properties"
    "$PY" "$HERE/make_attributes.py" "$kind" "$dir/in.xsd" "$BYTES"
    log "bindgen on $kind ($(stat -c %s "$dir/in.xsd") bytes)"
    read -r best peak status < <(cd "$dir" && "$PY" "$HERE/measure.py" "$KX_RUNS" "$BINDGEN" \
        -properties "$dir/startup.properties" "$dir/in.xsd")
    expected=0
    [ "$kind" = one ] && expected=1
    [ -z "$REFERENCE" ] && REFERENCE="$best"
    echo "$kind: $best s, peak $peak kB, exit $status (expected $expected)," \
        "ratio to plain $(ratio "$best" "$REFERENCE"), < 2 s: $(verdict "$best" "<=" 2)"
    if [ "$status" -ne "$expected" ]; then
        FAILED=1
    elif ! bench_quick && [ "$(verdict "$best" "<=" 2)" != met ]; then
        FAILED=1
    fi
done
exit "$FAILED"
