#!/usr/bin/env bash
# Parallel runs: eight simultaneous generate requests (POST /orvo/server,
# oper=generate, a project each) with a generator `svcgen` first on PATH that
# sleeps one second, against one such request alone.
#   target: all eight redirects arrive within 1.3 x the time of one run
# The figure is the median of KX_BENCH_RUNS runs (default 3); kxcontainer
# runs with its default of 8 worker threads.
#   bench/bench_generate.sh
source "$(dirname "$0")/lib.sh"
bench_setup kxcontainer orvowizard
PARALLEL=8

mkdir -p "$KX_TMP/bin" "$KX_TMP/projects" "$KX_TMP/home/projects"
cp -r "$KX_ROOT/home/docs" "$KX_ROOT/home/examples" "$KX_TMP/home/" 2>/dev/null || true
# The generator: a second's work, and a trace of its run in the project.
cat >"$KX_TMP/bin/svcgen" <<'EOF'
#!/bin/sh
sleep 1
echo "svcgen $*" > svcgen.ran
EOF
chmod +x "$KX_TMP/bin/svcgen"
printf '<?xml version="1.0"?>\n<definitions name="Quotes"/>\n' >"$KX_TMP/Quotes.wsdl"

export PATH="$KX_TMP/bin:$PATH"
kx_start "$KX_TMP/home"
log "kxcontainer at $KX_URL"

# generate NAME: "status redirect" of one generate request
generate() {
    curl -s -o /dev/null --max-time 60 -w '%{http_code} %{redirect_url}\n' \
        --data-urlencode "oper=generate" --data-urlencode "projectName=$1" \
        --data-urlencode "projectDir=$KX_TMP/projects" \
        --data-urlencode "filename=$KX_TMP/Quotes.wsdl" "$KX_URL/orvo/server"
}

elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f\n", (b - a) / 1e9 }'; }

: >"$KX_TMP/one.runs"; : >"$KX_TMP/eight.runs"
FAILED=0
for run in $(seq "$KX_RUNS"); do
    t0="$(date +%s%N)"
    answer="$(generate "Single$run")"
    t1="$(date +%s%N)"
    one="$(elapsed "$t0" "$t1")"
    case "$answer" in 302*status*) ;; *) log "unexpected answer: $answer"; FAILED=1 ;; esac
    [ -f "$KX_TMP/projects/Single$run/svcgen.ran" ] || { log "svcgen did not run for Single$run"; FAILED=1; }

    t0="$(date +%s%N)"
    pids=()
    for p in $(seq "$PARALLEL"); do
        generate "Parallel${run}_$p" >"$KX_TMP/answer.$p" &
        pids+=($!)
    done
    wait "${pids[@]}"
    t1="$(date +%s%N)"
    eight="$(elapsed "$t0" "$t1")"
    for p in $(seq "$PARALLEL"); do
        case "$(cat "$KX_TMP/answer.$p")" in 302*status*) ;; *) log "unexpected answer: $(cat "$KX_TMP/answer.$p")"; FAILED=1 ;; esac
        [ -f "$KX_TMP/projects/Parallel${run}_$p/svcgen.ran" ] || { log "svcgen did not run for Parallel${run}_$p"; FAILED=1; }
    done
    echo "$one" >>"$KX_TMP/one.runs"; echo "$eight" >>"$KX_TMP/eight.runs"
    log "run $run: one generate $one s, $PARALLEL at once $eight s"
done
# For reading the figure: the same generator started eight at once by the
# shell, without kxcontainer (what the machine itself adds to one run).
: >"$KX_TMP/shell.runs"
mkdir -p "$KX_TMP/shell"
for run in $(seq "$KX_RUNS"); do
    t0="$(date +%s%N)"
    pids=()
    for p in $(seq "$PARALLEL"); do
        mkdir -p "$KX_TMP/shell/$run.$p"
        (cd "$KX_TMP/shell/$run.$p" && svcgen -properties x y >/dev/null 2>&1) &
        pids+=($!)
    done
    wait "${pids[@]}"
    t1="$(date +%s%N)"
    elapsed "$t0" "$t1" >>"$KX_TMP/shell.runs"
done
SHELL8="$(median <"$KX_TMP/shell.runs")"
ONE="$(median <"$KX_TMP/one.runs")"
EIGHT="$(median <"$KX_TMP/eight.runs")"
R="$(ratio "$EIGHT" "$ONE")"

echo
echo "== Parallel runs (median of $KX_RUNS runs) =="
printf 'one generate %s s | %d at once %s s | ratio %s (<= 1.3: %s)%s\n' "$ONE" "$PARALLEL" "$EIGHT" \
    "$R" "$(verdict "$R" '<=' 1.3)" "$([ "$FAILED" -eq 0 ] && echo ', every answer a redirect to the status page' || echo ', SOME ANSWERS WRONG')"
printf '(for reading it: eight svcgen runs started at once by the shell alone take %s s)\n' "$SHELL8"
exit "$FAILED"
