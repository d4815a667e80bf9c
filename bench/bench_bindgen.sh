#!/usr/bin/env bash
# bindgen: (a) generating the data classes of a schema of 2,000 complex types
# (bindgen/make_schema.py): time and peak memory; (b) the purchase-order
# sample program (tests/corpus/purchaseorder, built with -O2) reading and
# writing a 50 MB order (bindgen/make_po.py), against
# `xmllint --stream --noout` reading the same file.
#   target: program time <= 3 x xmllint's
# Times are the best of KX_BENCH_RUNS runs (default 3); peak memory is the
# largest maximum resident set size of the runs (wait4's ru_maxrss).
# KX_BENCH_PO_MB changes the size of the order; KX_BENCH_BINDGEN=PATH uses that
# bindgen instead of building build-bench/bin/bindgen.
#   bench/bench_bindgen.sh
source "$(dirname "$0")/lib.sh"
PY=/usr/bin/python3
HERE="$KX_ROOT/bench/bindgen"
PO_MB="${KX_BENCH_PO_MB:-$(sized 50 1)}"
JOBS="${KX_BENCH_JOBS:-2}"
# Quick mode: 20 complex types and an order of 1 MB.
TYPES="$(sized 2000 20)"

bench_bindgen
command -v xmllint >/dev/null || apt_install libxml2-utils
bench_init
FAILED=0

# project DIR NAME: a scratch bindgen project with the sample program.
project() {
    mkdir -p "$1"
    printf 'type=foundation\nprojectName=%s\nmake=true\nsample=true\n' "$2" >"$1/startup.properties"
}

# measure LABEL COMMAND...: sets SECONDS_BEST, PEAK_KB and STATUS.
measure() {
    local label="$1" line
    shift
    log "$label"
    line="$("$PY" "$HERE/measure.py" "$KX_RUNS" "$@")"
    read -r SECONDS_BEST PEAK_KB STATUS <<<"$line"
}

# (a) A schema of 2,000 complex types.
"$PY" "$HERE/make_schema.py" "$KX_TMP/big" --types "$TYPES" >/dev/null
project "$KX_TMP/big/project" Big
(
    cd "$KX_TMP/big/project" || exit 1
    measure "bindgen on $TYPES complex types" "$BINDGEN" -properties "$KX_TMP/big/project/startup.properties" \
        -compiler redhat-gcc "$KX_TMP/big/large.xsd"
    files="$(find . -maxdepth 1 -type f | wc -l)"
    bytes="$(du -sk . | cut -f1)"
    echo "A $SECONDS_BEST $PEAK_KB $STATUS $files $bytes"
) >"$KX_TMP/a.out"
read -r _ GEN_S GEN_KB GEN_STATUS GEN_FILES GEN_KBYTES <"$KX_TMP/a.out"
if [ "$GEN_STATUS" -ne 0 ]; then
    log "bindgen failed on the big schema (exit $GEN_STATUS):"
    sed -n '1,10p' "$KX_TMP/big/project/errors.xml" >&2 2>/dev/null || true
    FAILED=1
fi

# (b) Reading and writing a big order.
PO="$KX_TMP/po"
project "$PO" PurchaseOrder
cp "$KX_ROOT/tests/corpus/purchaseorder/purchaseorder.xsd" "$PO/"
"$PY" "$HERE/make_po.py" "$KX_TMP/big.xml" "$PO_MB" >&2
PROG_S="nan"; PROG_KB="nan"; OUT_BYTES=0
if (cd "$PO" && "$BINDGEN" -properties "$PO/startup.properties" -compiler redhat-gcc \
        "$PO/purchaseorder.xsd") >"$KX_TMP/po-bindgen.out" 2>&1 &&
   (cd "$PO" && make -j"$JOBS" CXXFLAGS="-std=c++17 -O2") >"$KX_TMP/po-make.out" 2>&1 &&
   [ -x "$PO/PurchaseOrder" ]; then
    measure "PurchaseOrder big.xml out.xml" "$PO/PurchaseOrder" "$KX_TMP/big.xml" "$KX_TMP/out.xml"
    PROG_S="$SECONDS_BEST"; PROG_KB="$PEAK_KB"
    OUT_BYTES="$(stat -c %s "$KX_TMP/out.xml" 2>/dev/null || echo 0)"
    if [ "$STATUS" -ne 0 ]; then
        log "the program failed on big.xml (exit $STATUS)"
        PROG_S="nan"; FAILED=1
    fi
else
    log "could not build the purchase-order program:"
    tail -n 15 "$KX_TMP/po-bindgen.out" "$KX_TMP/po-make.out" >&2 2>/dev/null || true
    FAILED=1
fi
measure "xmllint --stream --noout big.xml" xmllint --stream --noout "$KX_TMP/big.xml"
LINT_S="$SECONDS_BEST"; LINT_KB="$PEAK_KB"

IN_BYTES="$(stat -c %s "$KX_TMP/big.xml")"
echo "bindgen, $TYPES complex types: $GEN_S s, peak $GEN_KB kB, exit $GEN_STATUS, $GEN_FILES files ($GEN_KBYTES kB)"
echo "order of $IN_BYTES bytes (output $OUT_BYTES bytes), best of $KX_RUNS:"
echo "  program (read + write): $PROG_S s, peak $PROG_KB kB"
echo "  xmllint --stream --noout: $LINT_S s, peak $LINT_KB kB"
if [ "$PROG_S" != nan ]; then
    r="$(ratio "$PROG_S" "$LINT_S")"
    echo "  ratio $r (<= 3): $(verdict "$r" "<=" 3)"
fi
exit "$FAILED"
