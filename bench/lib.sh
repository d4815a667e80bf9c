# shellcheck shell=bash disable=SC2034  # sourced: the scripts use what it sets
# Shared helpers of the benchmark scripts; sourced, not run.
#
# Every script builds its own Release build (build-bench/ unless
# KX_BENCH_BUILD names another folder), starts its own servers on 127.0.0.1
# in a scratch folder, bounds every request loop in count and time, and stops
# and removes everything it started when it ends (also on Ctrl-C).
#
# Quick mode (KX_BENCH_QUICK=1) proves that a script still works end to end:
# the same steps and tools, one run, about a second per measurement and tiny
# sizes, on the ordinary build in build/ (debug or not) unless KX_BENCH_BUILD
# names another. It builds and installs nothing: a missing program is an
# error naming what to build or install, except a reference tool that only
# serves for comparison (nginx), whose part is skipped with a message. Its
# figures mean nothing and no figure makes it fail; bench/smoke.sh (the CTest
# test bench_smoke) runs every script this way.
set -euo pipefail

KX_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
KX_QUICK="${KX_BENCH_QUICK:-0}"
if [ "$KX_QUICK" = 1 ]; then
    KX_BUILD="${KX_BENCH_BUILD:-$KX_ROOT/build}"
    KX_RUNS="${KX_BENCH_RUNS:-1}"
else
    KX_BUILD="${KX_BENCH_BUILD:-$KX_ROOT/build-bench}"
    KX_RUNS="${KX_BENCH_RUNS:-3}"
fi
# Absolute, as the scripts run programs from scratch folders.
KX_BUILD="$(realpath -m "$KX_BUILD")"
KX_BIN="$KX_BUILD/bin"
KX_TMP=""
KX_PIDS=()

log() { printf '[%s] %s\n' "$(date -u +%H:%M:%S)" "$*" >&2; }

# A command that ends the script through set -e says which one it was.
trap 'log "stopped: \"$BASH_COMMAND\" failed (exit $?) at ${BASH_SOURCE[0]##*/} line $LINENO"' ERR

# True in quick mode.
bench_quick() { [ "$KX_QUICK" = 1 ]; }

# sized NORMAL QUICK: the value for the mode this run is in (a size, a count
# or a duration; the scripts' own KX_BENCH_* variables still override it).
sized() { if bench_quick; then echo "$2"; else echo "$1"; fi; }

# have_nginx: true when nginx is installed (bench_install installs it in
# normal mode); else says that the comparison with it is skipped.
have_nginx() {
    command -v nginx >/dev/null || [ -x /usr/sbin/nginx ] && return 0
    log "nginx is not installed: the comparison with it is skipped"
    return 1
}

# apt_install PACKAGE...: installs Debian packages (sudo when not root); in
# quick mode names them and fails instead.
apt_install() {
    [ "$#" -gt 0 ] || return 0
    if bench_quick; then
        log "missing: $* (scripts/setup.sh installs them; quick mode installs nothing)"
        exit 1
    fi
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    log "installing $*"
    $sudo apt-get install -y "$@" >/dev/null
}

# Stops what this script started (by pid) and removes the scratch folder.
bench_cleanup() {
    local pid
    for pid in "${KX_PIDS[@]:-}"; do
        [ -n "$pid" ] && kill -TERM "$pid" 2>/dev/null || true
    done
    for pid in "${KX_PIDS[@]:-}"; do
        [ -n "$pid" ] || continue
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
        kill -KILL "$pid" 2>/dev/null || true
    done
    if [ -n "$KX_TMP" ] && [ -z "${KX_BENCH_KEEP:-}" ]; then
        rm -rf "$KX_TMP"
    fi
}

# The scratch folder (world-readable, as nginx's workers read from it).
bench_init() {
    trap bench_cleanup EXIT
    trap 'exit 130' INT TERM
    KX_TMP="$(mktemp -d /tmp/kxbench.XXXXXX)"
    chmod 755 "$KX_TMP"
}

# Installs wrk, curl and nginx when missing; in quick mode nginx may be
# missing (see have_nginx).
bench_install() {
    local missing=()
    command -v wrk >/dev/null || missing+=(wrk)
    command -v curl >/dev/null || missing+=(curl)
    if ! bench_quick && ! command -v nginx >/dev/null && [ ! -x /usr/sbin/nginx ]; then
        missing+=(nginx)
    fi
    apt_install "${missing[@]}"
}

# bench_build TARGET...: the Release build of the targets (configured in
# $KX_BUILD when it has no build yet; cmake, ninja and libbenchmark-dev
# installed when missing). In quick mode the targets must already be built
# there: nothing is installed, configured or built.
bench_build() {
    if bench_quick; then
        local target missing=()
        for target in "$@"; do
            [ -e "$KX_BIN/$target" ] || [ -e "$KX_BUILD/lib/lib$target.so" ] || missing+=("$target")
        done
        if [ "${#missing[@]}" -gt 0 ]; then
            log "not built in $KX_BUILD: ${missing[*]} (ninja -C $KX_BUILD ${missing[*]})"
            exit 1
        fi
        return 0
    fi
    local tools=()
    command -v cmake >/dev/null || tools+=(cmake)
    command -v ninja >/dev/null || tools+=(ninja-build)
    [ -f /usr/include/benchmark/benchmark.h ] || tools+=(libbenchmark-dev)
    apt_install "${tools[@]}"
    if [ ! -f "$KX_BUILD/build.ninja" ]; then
        cmake -S "$KX_ROOT" -B "$KX_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DKX_BUILD_TESTS=OFF >/dev/null
    fi
    ninja -C "$KX_BUILD" -j "${KX_BENCH_JOBS:-2}" "$@" >/dev/null
}

# bench_bindgen: sets BINDGEN to $KX_BENCH_BINDGEN when given, else to the
# bench build's bindgen (built when needed).
bench_bindgen() {
    if [ -n "${KX_BENCH_BINDGEN:-}" ]; then
        BINDGEN="$(realpath -m "$KX_BENCH_BINDGEN")"
    else
        bench_build bindgen
        BINDGEN="$KX_BIN/bindgen"
    fi
}

bench_setup() {
    bench_install
    bench_build "$@"
    bench_init
}

# A free TCP port on 127.0.0.1 for nginx (kxcontainer takes --port 0).
free_port() {
    local port
    for port in $(seq 20000 20999); do
        if ! ss -Hltn "sport = :$port" 2>/dev/null | grep -q .; then
            echo "$port"
            return
        fi
    done
    return 1
}

# kx_start HOME [options...]: starts kxcontainer without a token on a free
# port, logs in $KX_TMP/kxlogs, serving KX_WEBAPP (default: the product's
# webapp); sets KX_PID and KX_URL (http://127.0.0.1:P).
kx_start() {
    local home="$1"
    shift
    local out="$KX_TMP/kx.out"
    mkdir -p "$KX_TMP/kxlogs"
    : >"$out"
    "$KX_BIN/kxcontainer" --port 0 --bind 127.0.0.1 --no-token \
        --webapp "${KX_WEBAPP:-$KX_ROOT/webapp}" --home "$home" --log-dir "$KX_TMP/kxlogs" \
        "$@" >"$out" 2>"$KX_TMP/kx.err" &
    KX_PID=$!
    KX_PIDS+=("$KX_PID")
    for _ in $(seq 100); do
        if grep -q 'serving' "$out"; then
            # The address is the line's last word (the name before it is the
            # web application's own text).
            KX_URL="$(head -n1 "$out" | grep -o -E 'http://[^/ ]+/[^ ]*$' | grep -o -E '^http://[^/]+')"
            return 0
        fi
        kill -0 "$KX_PID" 2>/dev/null || break
        sleep 0.1
    done
    log "kxcontainer did not start:"
    cat "$KX_TMP/kx.err" >&2
    return 1
}

kx_stop() {
    kill -TERM "$KX_PID" 2>/dev/null || true
    wait "$KX_PID" 2>/dev/null || true
}

# nginx_start ROOT [EXTRA_LOCATION_DIRECTIVES]: nginx with ordinary production
# settings serving ROOT; sets NGINX_URL.
nginx_start() {
    local root="$1"
    local extra="${2:-}"
    local prefix="$KX_TMP/nginx"
    local port
    port="$(free_port)"
    mkdir -p "$prefix/logs" "$prefix/conf"
    local user=""
    [ "$(id -u)" -eq 0 ] && user="user root;"
    cat >"$prefix/conf/nginx.conf" <<EOF
$user
worker_processes $(nproc);
error_log $prefix/logs/error.log;
pid $prefix/nginx.pid;
events { worker_connections 1024; }
http {
    include /etc/nginx/mime.types;
    default_type application/octet-stream;
    sendfile on;
    tcp_nopush on;
    keepalive_timeout 65;
    access_log off;
    server {
        listen 127.0.0.1:$port;
        root $root;
        location / { $extra }
    }
}
EOF
    "$(command -v nginx || echo /usr/sbin/nginx)" -p "$prefix" -c "$prefix/conf/nginx.conf" \
        -g 'daemon off;' 2>"$prefix/logs/stderr" &
    NGINX_PID=$!
    KX_PIDS+=("$NGINX_PID")
    NGINX_URL="http://127.0.0.1:$port"
    for _ in $(seq 50); do
        curl -s -o /dev/null --max-time 1 "$NGINX_URL/" && return 0
        sleep 0.1
    done
    log "nginx did not start:"
    cat "$prefix/logs/stderr" "$prefix/logs/error.log" >&2
    return 1
}

nginx_stop() {
    kill -TERM "$NGINX_PID" 2>/dev/null || true
    wait "$NGINX_PID" 2>/dev/null || true
}

# Every line of kxcontainer's access log, oldest first (the log rotates at
# 5 MB into access.1.log .. access.3.log). Combined Log Format with the
# request time last: $1 client, $4 "[dd/Mon/yyyy:hh:mm:ss", $6 "\"METHOD",
# $7 target, $9 status, $10 body bytes, $NF seconds.
access_lines() {
    local dir="$KX_TMP/kxlogs" f
    for f in access.3.log access.2.log access.1.log access.log; do
        [ -f "$dir/$f" ] && cat "$dir/$f"
    done
    return 0
}

# The median of the numbers on standard input.
median() {
    sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) { print "nan"; exit }
        if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# ratio A B: A / B with three decimals.
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b == 0) print "nan"; else printf "%.3f\n", a / b }'; }

# Seconds of one request (curl's total time), bounded to 60 s.
# wrk_figures SECONDS CONNECTIONS URL [wrk options]: runs wrk with two
# threads, keeps its report in $KX_TMP/wrk.txt and prints
# "requests/s p99-ms socket-errors non2xx".
wrk_figures() {
    local seconds="$1" connections="$2" url="$3" out
    shift 3
    out="$(timeout $((seconds + 30)) wrk -t2 -c"$connections" -d"${seconds}s" --timeout 5s \
        --latency "$@" "$url")"
    printf '%s\n' "$out" >>"$KX_TMP/wrk.txt"
    printf '%s\n' "$out" | awk '
        /Requests\/sec/ { rps = $2 }
        $1 == "99%" { v = $2; u = v; sub(/[0-9.]+/, "", u); sub(/[a-z]+$/, "", v)
                      p99 = (u == "us") ? v / 1000 : (u == "s") ? v * 1000 : (u == "m") ? v * 60000 : v }
        /Socket errors/ { gsub(",", ""); err = $4 + $6 + $8 + $10 }
        /Non-2xx/ { bad = $NF }
        END { printf "%s %s %d %d\n", rps, p99, err, bad }'
}

request_time() { curl -s -o /dev/null --max-time 60 -w '%{time_total}\n' "$@"; }

# Milliseconds since the epoch.
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# verdict VALUE OP LIMIT: "met" or "MISSED".
verdict() { awk -v v="$1" -v l="$3" -v op="$2" 'BEGIN {
    ok = (op == "<=") ? (v <= l) : (v >= l); print ok ? "met" : "MISSED" }'; }
