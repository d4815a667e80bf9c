#!/usr/bin/env bash
# The shared corpus of public schemas (xsd/ under KX_SHARED_CORPUS, else
# ../shared/corpus beside the source tree; cases listed in its
# MANIFEST.json): for each case,
# bindgen's time and peak memory (/usr/bin/time -f '%e %M') and `make -j2`
# of the generated project (sample program included), against
# `xmllint --noout --schema` of the same schema over the case's instances,
# measured in the same run. A case that bindgen or make refuses is reported
# as such and the next one measured.
#   target: none (figures to watch); KX_BENCH_LIMIT bounds each step (600 s),
#   KX_BENCH_CASES=N measures the first N cases only
#   bench/bench_shared_corpus.sh
source "$(dirname "$0")/lib.sh"
PY=/usr/bin/python3
CORPUS="${KX_SHARED_CORPUS:-$KX_ROOT/../shared/corpus}/xsd"
JOBS="${KX_BENCH_JOBS:-2}"
LIMIT="${KX_BENCH_LIMIT:-600}"
# Quick mode measures the manifest's first case only.
CASES="${KX_BENCH_CASES:-$(sized 0 1)}"
if [ ! -f "$CORPUS/MANIFEST.json" ]; then
    # The corpus is not part of the source tree: a quick run without it has
    # nothing to measure, which is no fault of the script.
    bench_quick && { log "no $CORPUS/MANIFEST.json: skipped (set KX_SHARED_CORPUS)"; exit 0; }
    log "no $CORPUS/MANIFEST.json"
    exit 1
fi
missing=()
command -v xmllint >/dev/null || missing+=(libxml2-utils)
[ -x /usr/bin/time ] || missing+=(time)
apt_install "${missing[@]}"

bench_bindgen
bench_init

# One line per case: name, schema, then the instances, tab-separated.
"$PY" - "$CORPUS/MANIFEST.json" "$CASES" >"$KX_TMP/cases.tsv" <<'PY'
import json, sys
cases = json.load(open(sys.argv[1], encoding="utf-8"))
for case in cases[:int(sys.argv[2]) or len(cases)]:
    print("\t".join([case["name"], case["schema"]] + case.get("instances", [])))
PY

# seconds COMMAND...: the wall time of the command (bounded to LIMIT s) in
# seconds, or "failed" / "stopped".
seconds() {
    local start end status=0
    start="$(now_ms)"
    timeout "$LIMIT" "$@" >>"$KX_TMP/step.out" 2>&1 || status=$?
    end="$(now_ms)"
    case "$status" in
        0) awk -v ms="$((end - start))" 'BEGIN { printf "%.2f\n", ms / 1000 }' ;;
        124) echo stopped ;;
        *) echo failed ;;
    esac
}

printf '%-24s %10s %10s %10s %10s %8s\n' case bindgen-s peak-KB make-s xmllint-s ratio
while IFS=$'\t' read -r name schema instances; do
    dir="$CORPUS/$name"
    project="$KX_TMP/$name"
    mkdir -p "$project"
    printf 'type=foundation\nprojectName=%s\nmake=true\nsample=true\n' "$(echo "$name" | tr -c 'A-Za-z0-9\n' _)" \
        >"$project/startup.properties"
    : >"$KX_TMP/step.out"
    read -r gen_s peak < <(cd "$project" && timeout "$LIMIT" /usr/bin/time -f '%e %M' \
        -o "$KX_TMP/time.out" "$BINDGEN" -properties "$project/startup.properties" \
        -compiler redhat-gcc "$dir/$schema" >>"$KX_TMP/step.out" 2>&1 && cat "$KX_TMP/time.out" ||
        echo "failed -")
    make_s=-
    [ "$gen_s" = failed ] || make_s="$(cd "$project" && seconds make -j"$JOBS")"
    files=()
    for instance in $instances; do files+=("$dir/$instance"); done
    lint_s="$(cd "$dir" && seconds xmllint --noout --schema "$dir/$schema" "${files[@]}")"
    # xmllint exits non-zero for an instance that does not fit its schema;
    # its time still counts, so it is measured apart from its status.
    if [ "$lint_s" = failed ]; then
        start="$(now_ms)"
        (cd "$dir" && timeout "$LIMIT" xmllint --noout --schema "$dir/$schema" "${files[@]}") \
            >/dev/null 2>&1 || true
        lint_s="$(awk -v ms="$(($(now_ms) - start))" 'BEGIN { printf "%.2f\n", ms / 1000 }')"
    fi
    r=-
    case "$make_s" in failed|stopped|-) ;; *) r="$(ratio "$(awk -v a="$gen_s" -v b="$make_s" 'BEGIN { print a + b }')" "$lint_s")" ;; esac
    printf '%-24s %10s %10s %10s %10s %8s\n' "$name" "$gen_s" "$peak" "$make_s" "$lint_s" "$r"
    rm -rf "$project"
done <"$KX_TMP/cases.tsv"
echo "ratio: (bindgen + make) / xmllint over the case's instances"
